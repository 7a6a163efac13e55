#!/usr/bin/env python3
"""The checks of the release's installer (BUILD_ROOT/release), on the signed package that the release
tests leave: package_tables.py and registration_rows.py pass it, and refuse every copy of it broken
in one of the ways of the table BROKEN (each row names the fault its check must report)."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

MSI_TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "msi")
BUILD_ROOT = os.environ["BUILD_ROOT"]
RELEASE_MSI = glob.glob(os.path.join(BUILD_ROOT, "release", "TorvoShellMenu-*-x64.msi"))
RELEASE_ARM64_MSI = glob.glob(os.path.join(BUILD_ROOT, "release", "TorvoShellMenu-*-arm64.msi"))
HARVEST = os.path.join(BUILD_ROOT, "win-release", "msi", "registration.json")
CLASS_KEY = r"Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}"


def tables_check(msi):
    return [sys.executable, os.path.join(MSI_TOOLS, "package_tables.py"), "check", msi]


def rows_check(msi):
    return [sys.executable, os.path.join(MSI_TOOLS, "registration_rows.py"), "check", msi, HARVEST]


def upgrade_without_same_version(msi):
    """The major upgrade's row written anew (Attributes is a key column) without VersionMaxInclusive."""
    sys.path.insert(0, MSI_TOOLS)
    import package_tables  # noqa: E402
    row = next(r for r in package_tables.table(msi, "Upgrade") if r["ActionProperty"] == "WIX_UPGRADE_DETECTED")
    columns = ["UpgradeCode", "VersionMin", "VersionMax", "Language", "Remove", "ActionProperty"]
    values = ", ".join("'%s'" % row[c] for c in columns)
    return ["DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'",
            "INSERT INTO `Upgrade` (%s, `Attributes`) VALUES (%s, %d)" % (
                ", ".join("`%s`" % c for c in columns), values, int(row["Attributes"]) & ~0x200)]


# (fault, SQL that makes it, the check that must refuse it, what the refusal names)
BROKEN = [
    ("the DLL without its version", "UPDATE `File` SET `Version` = '', `Language` = '' WHERE `File` = 'TorvoShellMenu.dll'",
     tables_check, "TorvoShellMenu.dll: the row gives version ''"),
    ("the doctor an older version", "UPDATE `File` SET `Version` = '1.0.0.0' WHERE `File` = 'torvo_doctor.exe'",
     tables_check, "torvo_doctor.exe: the row gives version '1.0.0.0'"),
    ("the DLL in another language", "UPDATE `File` SET `Language` = '2052' WHERE `File` = 'TorvoShellMenu.dll'",
     tables_check, "language '2052'"),
    ("the doctor's long name alone", "UPDATE `File` SET `FileName` = 'torvo-doctor.exe' WHERE `File` = 'torvo_doctor.exe'",
     tables_check, "torvo_doctor.exe: the FileName torvo-doctor.exe does not begin with a short name"),
    ("a hash of the DLL", "INSERT INTO `MsiFileHash` (`File_`, `Options`, `HashPart1`, `HashPart2`, `HashPart3`, "
     "`HashPart4`) VALUES ('TorvoShellMenu.dll', 0, 1, 2, 3, 4)", tables_check,
     "TorvoShellMenu.dll: a versioned file with a MsiFileHash row"),
    ("the package's hash gone", "DELETE FROM `MsiFileHash` WHERE `File_` = 'TorvoShellMenu.msix'", tables_check,
     "TorvoShellMenu.msix: an unversioned file without a MsiFileHash row"),
    ("the package's hash wrong", "UPDATE `MsiFileHash` SET `HashPart1` = 7 WHERE `File_` = 'TorvoShellMenu.msix'",
     tables_check, "TorvoShellMenu.msix: its MsiFileHash row is not the file's hash"),
    ("the folder not secure", "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' "
     "WHERE `Property` = 'SecureCustomProperties'", tables_check, "INSTALLFOLDER is not in SecureCustomProperties"),
    ("no icon in Settings", "DELETE FROM `Property` WHERE `Property` = 'ARPPRODUCTICON'", tables_check,
     "ARPPRODUCTICON names no icon"),
    ("a Modify button", "DELETE FROM `Property` WHERE `Property` = 'ARPNOMODIFY'", tables_check, "ARPNOMODIFY is not 1"),
    ("the location set after it is recorded",
     "UPDATE `InstallExecuteSequence` SET `Sequence` = 6601 WHERE `Action` = 'SetInstallLocation'", tables_check,
     "ARPINSTALLLOCATION is not set between CostFinalize and RegisterProduct"),
    ("a restart allowed", "DELETE FROM `Property` WHERE `Property` = 'REBOOT'", tables_check, "REBOOT is not ReallySuppress"),
    ("a 64-bit component not marked so", "UPDATE `Component` SET `Attributes` = 0 WHERE `Component` = 'Doctor'",
     tables_check, "Doctor: not marked 64-bit"),
    ("the 32-bit DLL's component marked 64-bit",
     "UPDATE `Component` SET `Attributes` = 256 WHERE `Component` = 'ShellExtension32'", tables_check,
     "ShellExtension32: a 64-bit component"),
    ("the ARM64 package of the same version left installed",
     "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'", tables_check,
     "the major upgrade does not take an installed ARM64 package of the same version"),
    ("a Windows on ARM PC not refused", "DELETE FROM `LaunchCondition` WHERE `Condition` = 'Installed OR Msix64'",
     tables_check, "the x64 package does not refuse a Windows on ARM PC naming the ARM64 package"),
    ("the same version's package kept", upgrade_without_same_version, tables_check,
     "the major upgrade does not take an installed ARM64 package of the same version"),
    ("two files of one short name", "UPDATE `File` SET `FileName` = 'TORVOD~1.EXE|torvo-move.exe' WHERE `File` = "
     "'torvo_move.exe'", tables_check, "share the short name TORVOD~1.EXE in one folder"),
    ("the Windows 11 package provisioned as the user",
     "UPDATE `CustomAction` SET `Type` = 1106 WHERE `Action` = 'ProvisionSparsePackage'", tables_check,
     "ProvisionSparsePackage is no deferred, not impersonated run of torvo_package.exe"),
    ("the Windows 11 package on Windows 10 too",
     "UPDATE `InstallExecuteSequence` SET `Condition` = 'NOT REMOVE~=\"ALL\" AND WINDOWS11_MENU<>\"0\"' "
     "WHERE `Action` = 'ProvisionSparsePackage'", tables_check, "ProvisionSparsePackage does not run between"),
    ("the Windows 11 package left behind", "DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'RemoveSparsePackage'",
     tables_check, "RemoveSparsePackage does not run between InstallInitialize and RemoveFiles"),
    ("a removal given WINDOWS11_MENU=0 keeps the package",
     "UPDATE `InstallExecuteSequence` SET `Condition` = 'REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE AND "
     "WINDOWS11_MENU<>\"0\" AND WINDOWSBUILD>=22000' WHERE `Action` = 'RemoveSparsePackage'", tables_check,
     "RemoveSparsePackage hangs on WINDOWS11_MENU"),
    ("the menu's switch not secure", "UPDATE `Property` SET `Value` = 'INSTALLFOLDER;WIX_DOWNGRADE_DETECTED;"
     "WIX_UPGRADE_DETECTED' WHERE `Property` = 'SecureCustomProperties'", tables_check,
     "WINDOWS11_MENU is not in SecureCustomProperties"),
    ("the administrator's choice forgotten", "DELETE FROM `Registry` WHERE `Name` = 'Windows11Menu'", tables_check,
     "WINDOWS11_MENU is not remembered"),
    ("a default that hides the command line's", "INSERT INTO `Property` (`Property`, `Value`) VALUES ('WINDOWS11_MENU', "
     "'1')", tables_check, "WINDOWS11_MENU has a default row"),
    ("no sign-in step", "DELETE FROM `Registry` WHERE `Name` = 'StubPath'", tables_check,
     "no Active Setup component runs torvo_package.exe /user"),
    ("provisioning through DISM's cmdlet", "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
     "('Dism', 3122, 'POWERSHELL', '-Command \"Add-AppxProvisionedPackage -Online -PackagePath x.msix\"')", tables_check,
     "Dism runs Add-AppxProvisionedPackage"),
    ("PowerShell with the execution policy bypassed", "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
     "VALUES ('Bypass', 3122, 'POWERSHELL', '-ExecutionPolicy Bypass -Command \"Get-AppxPackage\"')", tables_check,
     "Bypass runs -ExecutionPolicy Bypass"),
    ("a registry row missing", "DELETE FROM `Registry` WHERE `Key` = '%s\\InprocServer32' AND `Name` = 'ThreadingModel'"
     % CLASS_KEY, rows_check, "registration wrote, the package lacks"),
    ("a registry row that registration did not write",
     "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Value`, `Component_`) "
     "VALUES ('extra', 2, '%s', 'Extra', 'x', 'ShellExtension')" % CLASS_KEY, rows_check,
     "the package writes, registration did not"),
    ("a registry row in another component",
     "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Value`, `Component_`) "
     "VALUES ('extra', 2, 'Software\\ZebTorvo', 'Extra', 'x', 'Doctor')", rows_check,
     "the package writes, outside ShellExtension"),
    ("the rows naming the 32-bit DLL in the 64-bit DLL's component",
     "UPDATE `Registry` SET `Component_` = 'ShellExtension' WHERE `Component_` = 'ShellExtension32' "
     "AND `Value` = '[#TorvoShellMenu32.dll]'", rows_check, "the package writes, outside ShellExtension32"),
    ("a registry value written twice",
     "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Value`, `Component_`) "
     "VALUES ('twice', 2, '%s\\InprocServer32', 'ThreadingModel', 'Free', 'ShellExtension')" % CLASS_KEY,
     rows_check, "the package writes twice"),
]


class ReleaseInstaller(unittest.TestCase):
    def setUp(self):
        self.assertEqual(len(RELEASE_MSI), 1, "not one release installer in " + BUILD_ROOT)
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def run_check(self, check, msi):
        return subprocess.run(check(msi), capture_output=True, text=True)

    def test_the_release_passes_both_checks(self):
        for check in (tables_check, rows_check):
            result = self.run_check(check, RELEASE_MSI[0])
            self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_broken_package_is_refused(self):
        for fault, query, check, report in BROKEN:
            with self.subTest(fault):
                broken = os.path.join(self.folder, "broken.msi")
                shutil.copyfile(RELEASE_MSI[0], broken)
                queries = query(broken) if callable(query) else [query]
                subprocess.run(["msibuild", broken] + [a for q in queries for a in ("-q", q)], check=True)
                result = self.run_check(check, broken)
                self.assertNotEqual(result.returncode, 0, fault)
                self.assertIn(report, result.stderr)

    def test_an_arm64_package_that_asks_for_an_x64_processor_is_refused(self):
        self.assertEqual(len(RELEASE_ARM64_MSI), 1, "not one ARM64 release installer in " + BUILD_ROOT)
        broken = os.path.join(self.folder, "broken-arm64.msi")
        shutil.copyfile(RELEASE_ARM64_MSI[0], broken)
        subprocess.run(["msibuild", broken, "-q", "INSERT INTO `LaunchCondition` (`Condition`, `Description`) "
                        "VALUES ('Installed OR Msix64', 'x64 only')"], check=True)
        result = subprocess.run(tables_check(broken) + ["arm64"], capture_output=True, text=True)
        self.assertIn("the ARM64 package asks for an x64 processor", result.stderr)


if __name__ == "__main__":
    unittest.main()
