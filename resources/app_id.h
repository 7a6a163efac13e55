#pragma once
// The AppID of the server: given to every registry script of TorvoShellMenu.dll as %APPID%, and
// read by the tools that check what the scripts wrote.
namespace torvo {

inline constexpr wchar_t kAppId[] = L"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}";

}  // namespace torvo
