// The installer's custom action that sets who may change the settings directory C:\ECR. It runs
// as the system (deferred, not impersonated) right after the directory is created, before the
// example settings file is copied in, so that everything in it inherits the same permissions:
//   Administrators and SYSTEM: full control, of the directory and all in it;
//   Users: read and execute all in it, and create files in the directory itself (the till's
//     server writes the info log, the archive files and the protocol trace there), with full
//     control of what they created only (CREATOR OWNER); no subdirectories, no change to files
//     of others: not the settings file, not the uploader, not an archive another user wrote;
//   no permissions inherited from C:\ (the DACL is protected).
// The owner becomes the Administrators group, so that a directory a user made before the
// installation cannot be opened up again by that user.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace {

// The permissions above as a security descriptor (also read back by the Wine run's check).
constexpr wchar_t kSettingsDirSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x100002;;;BU)"
    L"(A;OICIIO;FA;;;CO)";
constexpr wchar_t kSettingsDir[] = L"C:\\ECR";

constexpr UINT kInstallFailure = 1603;  // ERROR_INSTALL_FAILURE

// Setting another owner than oneself needs the restore privilege, which the system holds but
// need not have enabled.
void EnableRestorePrivilege() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token) == 0) return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &privileges.Privileges[0].Luid) != 0) {
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

}  // namespace

// The entry the package names (DllEntry); its argument is the installer's session handle.
extern "C" __declspec(dllexport) UINT __stdcall SecureSettingsDir(unsigned long /*install*/) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kSettingsDirSddl, SDDL_REVISION_1, &sd,
                                                           nullptr) == 0) {
    return kInstallFailure;
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  UINT result = kInstallFailure;
  if (GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) != 0 && present != 0 &&
      GetSecurityDescriptorOwner(sd, &owner, &defaulted) != 0) {
    EnableRestorePrivilege();
    // The permissions reach what is already in the directory too (inherited entries replaced).
    wchar_t path[sizeof kSettingsDir / sizeof kSettingsDir[0]];
    lstrcpyW(path, kSettingsDir);
    DWORD rc = SetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                         PROTECTED_DACL_SECURITY_INFORMATION,
                                     owner, nullptr, dacl, nullptr);
    if (rc != ERROR_SUCCESS) {
      // No owner of our choosing: the permissions still count.
      rc = SetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, dacl, nullptr);
    }
    if (rc == ERROR_SUCCESS) result = ERROR_SUCCESS;
  }
  LocalFree(sd);
  return result;
}
