"""A one-file installer built by wixl, for the tests of what the release does to installers."""
import os
import subprocess

WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{11111111-2222-3333-4444-555555555555}" Name="T" Language="1033" Version="1.0.0" Manufacturer="Z"
           UpgradeCode="{11111111-2222-3333-4444-555555555556}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="a.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFiles64Folder"><Directory Id="D" Name="T">
      <Component Id="C" Guid="{11111111-2222-3333-4444-555555555557}"><File Id="F" Source="%s"/></Component>
    </Directory></Directory></Directory>
    <Feature Id="Fe" Level="1"><ComponentRef Id="C"/></Feature>
  </Product>
</Wix>
"""


def build_installer(folder, payload, out):
    """Writes OUT, the installer of `folder`'s file `payload` (in a cabinet stream "a.cab")."""
    with open(os.path.join(folder, "t.wxs"), "w") as source:
        source.write(WXS % payload)
    subprocess.run(["wixl", "-a", "x64", "-o", out, "t.wxs"], check=True, cwd=folder)
