#include "devlink/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devlink/Exception.h"
#include "devlink/Messages.h"

namespace velboot {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
  throw Exception(std::string(what) + path + ": " + std::strerror(error));
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

mode_t ModeFor(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& content) {
  std::string temp = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) Fail(msg::CannotWriteFile, path, errno);
  bool ok = ::fchmod(fd, ModeFor(path)) == 0 && WriteAll(fd, content.data(), content.size()) &&
            ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    Fail(msg::CannotWriteFile, path, error);
  }
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, size_t maxSize) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(msg::CannotReadFile, path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    Fail(msg::CannotReadFile, path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  if (static_cast<uint64_t>(st.st_size) > maxSize) {
    ::close(fd);
    throw Exception(std::string(msg::FileTooLarge) + path);
  }
  std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : EIO;
      ::close(fd);
      Fail(msg::CannotReadFile, path, error);
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return data;
}

}  // namespace velboot
