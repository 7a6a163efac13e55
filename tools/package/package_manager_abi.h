#pragma once
// The few Windows Runtime interfaces that torvo-package.exe calls (Windows.Management.Deployment's
// PackageManager and its options, Windows.Foundation's Uri and asynchronous operations), declared
// here because MinGW-w64 ships no header for them: each with its IID and its methods in the order of
// its virtual table, from Windows' metadata. A method the program never calls keeps its place as a
// `Slot` entry. The test bench's stand-in PackageManager implements the same declarations.
#include <windows.h>
#include <inspectable.h>

namespace torvo::package::abi {

// A place in a virtual table that the program never calls.
#define TORVO_ABI_SLOT(name) \
  virtual HRESULT STDMETHODCALLTYPE name() { return E_NOTIMPL; }

// Windows.Foundation.IAsyncInfo, which every asynchronous operation answers.
inline constexpr IID kAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
enum class AsyncStatus : int { kStarted = 0, kCompleted = 1, kCanceled = 2, kError = 3 };
struct IAsyncInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// Windows.Foundation.IUriRuntimeClassFactory: a Uri from its text ("file:///C:/Program%20Files/x").
inline constexpr IID kUriFactory = {0x44A9796F, 0x723E, 0x4FDF, {0xA2, 0x18, 0x03, 0x3E, 0x75, 0xB0, 0xC0, 0x84}};
struct IUriRuntimeClassFactory : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IInspectable** instance) = 0;
};

// Windows.Foundation.Collections.IIterable<T> and IIterator<T> of objects, called through the
// pointer a method returned (their IIDs depend on T; no QueryInterface is needed).
struct IIterator : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Current(IInspectable** current) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* hasCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveNext(boolean* hasCurrent) = 0;
};
struct IIterable : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE First(IIterator** first) = 0;
};

// Windows.ApplicationModel.IPackage and IPackageId.
inline constexpr IID kPackage = {0x163C792F, 0xBD75, 0x413C, {0xBF, 0x23, 0xB1, 0xFE, 0x7B, 0x95, 0xD8, 0x25}};
inline constexpr IID kPackageId = {0x1ADB665E, 0x37C7, 0x4790, {0x99, 0x80, 0xDD, 0x7A, 0xE7, 0x4E, 0x8B, 0xB2}};
struct PackageVersion {
  UINT16 major, minor, build, revision;
};
struct IPackageId : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(PackageVersion* version) = 0;
  TORVO_ABI_SLOT(get_Architecture);
  TORVO_ABI_SLOT(get_ResourceId);
  TORVO_ABI_SLOT(get_Publisher);
  TORVO_ABI_SLOT(get_PublisherId);
  virtual HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* fullName) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FamilyName(HSTRING* familyName) = 0;
};
struct IPackage : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(IPackageId** id) = 0;
};

// Windows.Management.Deployment: the PackageManager's interfaces, in the slots the program calls.
// Every operation gives an IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>, which
// the program asks only through IAsyncInfo.
inline constexpr IID kPackageManager = {0x9A7D4B65, 0x5E8F, 0x4FC7, {0xA2, 0xE5, 0x7F, 0x69, 0x25, 0xCB, 0x8B, 0x53}};
struct IPackageManager : IInspectable {
  TORVO_ABI_SLOT(AddPackageAsync);
  TORVO_ABI_SLOT(UpdatePackageAsync);
  virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING fullName, IInspectable** operation) = 0;
  TORVO_ABI_SLOT(StagePackageAsync);
  TORVO_ABI_SLOT(RegisterPackageAsync);
  TORVO_ABI_SLOT(FindPackages);
  TORVO_ABI_SLOT(FindPackagesByUserSecurityId);
  TORVO_ABI_SLOT(FindPackagesByNamePublisher);
  TORVO_ABI_SLOT(FindPackagesByUserSecurityIdNamePublisher);
  TORVO_ABI_SLOT(FindUsers);
  TORVO_ABI_SLOT(SetPackageState);
  TORVO_ABI_SLOT(FindPackageByPackageFullName);
  TORVO_ABI_SLOT(CleanupPackageForUserAsync);
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByPackageFamilyName(HSTRING family, IIterable** packages) = 0;
  // An empty security identifier names the calling user.
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdPackageFamilyName(HSTRING user, HSTRING family,
                                                                                  IIterable** packages) = 0;
};
inline constexpr IID kPackageManager2 = {0xF7AAD08D, 0x0840, 0x46F2, {0xB5, 0xD8, 0xCA, 0xD4, 0x76, 0x93, 0xA0, 0x95}};
inline constexpr UINT32 kRemoveForAllUsers = 0x80000;  // RemovalOptions.RemoveForAllUsers
struct IPackageManager2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE RemovePackageWithOptionsAsync(HSTRING fullName, UINT32 options,
                                                                  IInspectable** operation) = 0;
};
inline constexpr IID kPackageManager6 = {0x0847E909, 0x53CD, 0x4E4F, {0x83, 0x2E, 0x57, 0xD1, 0x80, 0xF6, 0xE4, 0x47}};
struct IPackageManager6 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE ProvisionPackageForAllUsersAsync(HSTRING family, IInspectable** operation) = 0;
};
inline constexpr IID kPackageManager8 = {0xB8575330, 0x1298, 0x4EE2, {0x80, 0xEE, 0x7F, 0x65, 0x9C, 0x5D, 0x27, 0x82}};
struct IPackageManager8 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE DeprovisionPackageForAllUsersAsync(HSTRING family, IInspectable** operation) = 0;
};
inline constexpr IID kPackageManager9 = {0x1AA79035, 0xCC71, 0x4B2E, {0x80, 0xA6, 0xC7, 0x04, 0x1D, 0x85, 0x79, 0xA7}};
struct IPackageManager9 : IInspectable {
  TORVO_ABI_SLOT(FindProvisionedPackages);
  virtual HRESULT STDMETHODCALLTYPE AddPackageByUriAsync(IInspectable* uri, IInspectable* options,
                                                         IInspectable** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE StagePackageByUriAsync(IInspectable* uri, IInspectable* options,
                                                           IInspectable** operation) = 0;
};

// The options of staging and of adding: the external location is the seventh property of each
// (its setter the eighth method after IInspectable's).
inline constexpr IID kStagePackageOptions = {
    0x0B110C9C, 0xB95D, 0x4C56, {0xBD, 0x36, 0x6D, 0x65, 0x68, 0x00, 0xD0, 0x6B}};
inline constexpr IID kAddPackageOptions = {
    0x05CEE018, 0xF68F, 0x422B, {0x95, 0xA4, 0x66, 0x67, 0x9E, 0xC7, 0x7F, 0xC0}};
struct IPackageOptions : IInspectable {
  TORVO_ABI_SLOT(get_DependencyPackageUris);
  TORVO_ABI_SLOT(get_TargetVolume);
  TORVO_ABI_SLOT(put_TargetVolume);
  TORVO_ABI_SLOT(get_OptionalPackageFamilyNames);
  TORVO_ABI_SLOT(get_OptionalPackageUris);
  TORVO_ABI_SLOT(get_RelatedPackageUris);
  virtual HRESULT STDMETHODCALLTYPE get_ExternalLocationUri(IInspectable** uri) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ExternalLocationUri(IInspectable* uri) = 0;
};

#undef TORVO_ABI_SLOT

}  // namespace torvo::package::abi
