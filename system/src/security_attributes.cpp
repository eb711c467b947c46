// An access list and mode bits that give every user read and write access:
// the "everyone" grant lands on the list's other and mask entries.
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "kxSystem.h"

namespace {

constexpr mode_t kFileMode = 0666;
constexpr mode_t kDirectoryMode = 0777;  // a folder needs search rights to be usable

bool AddEntry(acl_t* acl, acl_tag_t tag, bool execute) {
  acl_entry_t entry;
  acl_permset_t perms;
  if (acl_create_entry(acl, &entry) != 0 || acl_set_tag_type(entry, tag) != 0 ||
      acl_get_permset(entry, &perms) != 0 || acl_clear_perms(perms) != 0 || acl_add_perm(perms, ACL_READ) != 0 ||
      acl_add_perm(perms, ACL_WRITE) != 0 || (execute && acl_add_perm(perms, ACL_EXECUTE) != 0) ||
      acl_set_permset(entry, perms) != 0)
    return false;
  return true;
}

// The list for one kind of object; null on failure.
acl_t BuildAcl(bool execute) {
  acl_t acl = acl_init(4);
  if (acl == nullptr) return nullptr;
  if (!AddEntry(&acl, ACL_USER_OBJ, execute) || !AddEntry(&acl, ACL_GROUP_OBJ, execute) ||
      !AddEntry(&acl, ACL_MASK, execute) || !AddEntry(&acl, ACL_OTHER, execute) || acl_valid(acl) != 0) {
    acl_free(acl);
    return nullptr;
  }
  return acl;
}

// Applies the mode and the list to a freshly created object. A file system
// without access lists still gets the mode bits, which grant the same.
bool Apply(int fd, mode_t mode, acl_t acl) {
  if (::fchmod(fd, mode) != 0) return false;
  if (acl != nullptr && acl_set_fd(fd, acl) != 0 && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
  return true;
}

}  // namespace

CSecurityAttributesRW::CSecurityAttributesRW() = default;

CSecurityAttributesRW::~CSecurityAttributesRW() { ReleaseSecurityAttributes(); }

int32_t CSecurityAttributesRW::Create() { return CreateSecurityAttributes(); }

void CSecurityAttributesRW::Close() { ReleaseSecurityAttributes(); }

int32_t CSecurityAttributesRW::CreateSecurityAttributes() {
  ReleaseSecurityAttributes();
  acl_t acl = BuildAcl(false);
  if (acl == nullptr) return 0;
  m_pAcl = acl;
  m_descriptor.revision = 1;
  m_descriptor.mode = kFileMode;
  m_descriptor.acl = m_pAcl;
  m_attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
  m_attributes.lpSecurityDescriptor = &m_descriptor;
  m_attributes.bInheritHandle = 0;
  return 1;
}

void CSecurityAttributesRW::ReleaseSecurityAttributes() {
  if (m_pAcl != nullptr) acl_free(m_pAcl);
  m_pAcl = nullptr;
  m_descriptor = KX_SECURITY_DESCRIPTOR{};
  m_attributes = SECURITY_ATTRIBUTES{};
}

int kxCreateWithAttributes(std::u16string path, bool directory, const SECURITY_ATTRIBUTES* attributes) {
  if (path.empty()) return -1;
  const std::string name = ConvertUnicodeToUTF8(path);
  if (name.find('\0') != std::string::npos) return -1;
  const auto* descriptor = attributes != nullptr && attributes->nLength == sizeof(SECURITY_ATTRIBUTES)
                               ? static_cast<const KX_SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor)
                               : nullptr;

  if (!directory) {
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd < 0) {
      // An existing file keeps the rights it has.
      return errno == EEXIST ? ::open(name.c_str(), O_RDWR | O_CLOEXEC) : -1;
    }
    if (descriptor != nullptr && !Apply(fd, descriptor->mode, static_cast<acl_t>(descriptor->acl))) {
      ::close(fd);
      ::unlink(name.c_str());
      return -1;
    }
    return fd;
  }

  if (::mkdir(name.c_str(), kDirectoryMode) != 0) {
    if (errno != EEXIST) return -1;
    return ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (descriptor != nullptr) {
    // The held list is the one for files; folders add search rights throughout.
    acl_t acl = descriptor->acl != nullptr ? BuildAcl(true) : nullptr;
    const bool ok = Apply(fd, descriptor->mode | 0111, acl);
    if (acl != nullptr) acl_free(acl);
    if (!ok) {
      ::close(fd);
      ::rmdir(name.c_str());
      return -1;
    }
  }
  return fd;
}
