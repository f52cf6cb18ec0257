// Prints the owner and the DACL of a file or directory, one line each, in a form that does not
// depend on how a system writes SDDL:
//   owner S-1-5-32-544
//   dacl protected            (or: dacl inherits, dacl none)
//   allow 0x03 0x001f01ff S-1-5-18      (type, ACE flags, access mask, SID)
// Usage: acl_dump <path>; exit code 0 when the security descriptor could be read.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

namespace {

void PrintSid(PSID sid) {
  char* text = nullptr;
  if (sid != nullptr && ConvertSidToStringSidA(sid, &text) != 0) {
    std::printf("%s", text);
    LocalFree(text);
  } else {
    std::printf("?");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 90;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  const DWORD rc = GetNamedSecurityInfoA(argv[1], SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &sd);
  if (rc != ERROR_SUCCESS) {
    std::printf("error %lu\n", static_cast<unsigned long>(rc));
    return 1;
  }
  std::printf("owner ");
  PrintSid(owner);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  std::printf("\ndacl %s\n", dacl == nullptr                      ? "none"
                             : (control & SE_DACL_PROTECTED) != 0 ? "protected"
                                                                  : "inherits");
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(dacl, i, &ace) == 0) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
      std::printf(
          "%s 0x%02x 0x%08lx ", header->AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow" : "deny",
          static_cast<unsigned>(header->AceFlags), static_cast<unsigned long>(allowed->Mask));
      PrintSid(const_cast<DWORD*>(&allowed->SidStart));
      std::printf("\n");
    } else {
      std::printf("type-%u 0x%02x\n", static_cast<unsigned>(header->AceType),
                  static_cast<unsigned>(header->AceFlags));
    }
  }
  LocalFree(sd);
  return 0;
}
