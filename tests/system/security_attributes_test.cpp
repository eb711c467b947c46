// Files and folders made with the shared rights (rw for every user), whatever the umask.
#include <gtest/gtest.h>
#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kxSystem.h"

namespace {

namespace fs = std::filesystem;

std::u16string U16(const fs::path& p) { return ConvertUTF8ToUnicode(p.string()); }

mode_t Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

// Creates the file or folder with `sa` and writes `text` into a file; false when that failed.
bool Create(const fs::path& p, bool folder, SECURITY_ATTRIBUTES* sa, const std::string& text = {}) {
  const int fd = kxCreateWithAttributes(U16(p), folder, sa);
  if (fd < 0) return false;
  const bool written = text.empty() || ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

TEST(SecurityAttributes, ObjectsGetTheRightsWhateverTheUmask) {
  // A fresh folder under /tmp (which every user may traverse) and a tight umask.
  const fs::path root = fs::temp_directory_path() / ("kx_sa_" + std::to_string(getpid()));
  fs::remove_all(root);
  CSecurityAttributesRW holder;
  ASSERT_EQ(holder.Create(), 1);
  ASSERT_EQ(holder.Create(), 1);  // again: the first list is freed (the leak checker sees it)
  SECURITY_ATTRIBUTES* sa = holder.GetSecurityAttributes();
  const mode_t oldMask = ::umask(077);
  ASSERT_TRUE(Create(root, true, sa));
  const fs::path shared = root / "shared.txt";  // other users read and write it
  ASSERT_TRUE(Create(shared, false, sa, "x"));
  // Without attributes, or with unbuilt ones, the umask rules; an existing file keeps its rights.
  CSecurityAttributesRW empty;
  const fs::path own = root / "own.txt";
  ASSERT_TRUE(Create(own, false, empty.GetSecurityAttributes()));
  ASSERT_TRUE(Create(own, false, sa));
  ::umask(oldMask);
  EXPECT_EQ(Mode(root), 0777u);
  EXPECT_EQ(Mode(shared), 0666u);
  EXPECT_EQ(Mode(own), 0600u);
  acl_t acl = acl_get_file(shared.c_str(), ACL_TYPE_ACCESS);
  ASSERT_NE(acl, nullptr);
  char* text = acl_to_any_text(acl, nullptr, ',', 0);
  EXPECT_STREQ(text, "user::rw-,group::rw-,mask::rw-,other::rw-");
  acl_free(text);
  acl_free(acl);
  // Empty paths and missing parents fail.
  EXPECT_EQ(kxCreateWithAttributes(u"", false, sa), -1);
  for (bool folder : {false, true}) EXPECT_EQ(kxCreateWithAttributes(U16(root / "no" / "such"), folder, sa), -1);

  fs::remove_all(root);
}

}  // namespace
