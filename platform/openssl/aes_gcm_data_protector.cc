#include "platform/openssl/aes_gcm_data_protector.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "common/logger.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/private_files.h"

namespace {

constexpr std::uint8_t kBlobVersion = 1;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kHeaderSize = 1 + kNonceSize;
// A temporary key file this old is left over whoever made it: a key is made in milliseconds.
constexpr std::time_t kLeftoverAgeSeconds = 60 * 60;
constexpr const char* kTemporaryMark = ".new-";

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext NewContext() {
  return CipherContext(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
}

// Fills `out` from the operating system's random source.
bool RandomBytes(std::uint8_t* out, std::size_t size) {
  while (size > 0) {
    const ssize_t got = getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// The associated data: the version byte, then the caller's entropy.
bool AddAssociatedData(EVP_CIPHER_CTX* context, const std::vector<std::uint8_t>& entropy,
                       bool encrypt) {
  const auto update = encrypt ? &EVP_EncryptUpdate : &EVP_DecryptUpdate;
  int length = 0;
  if (update(context, nullptr, &length, &kBlobVersion, 1) != 1) {
    return false;
  }
  return entropy.empty() ||
         update(context, nullptr, &length, entropy.data(), static_cast<int>(entropy.size())) == 1;
}

// Whether the temporary key file `name` (what follows the key's own name) was left by a maker
// that can no longer finish it: its process is gone, or it is older than any making takes.
bool IsLeftover(const char* name, const struct stat& info) {
  const std::size_t mark = std::strlen(kTemporaryMark);
  if (std::strncmp(name, kTemporaryMark, mark) != 0) {
    return false;
  }
  char* end = nullptr;
  const long pid = std::strtol(name + mark, &end, 10);
  if (end == name + mark || *end != '-' || pid <= 0) {
    return false;  // not a name this adapter gives
  }
  const bool makerGone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
  return makerGone || std::time(nullptr) - info.st_mtime > kLeftoverAgeSeconds;
}

}  // namespace

CAesGcmDataProtector::CAesGcmDataProtector(std::string keyPath, CLogger& logger)
    : m_strKeyPath(std::move(keyPath)), m_logger(logger) {}

CAesGcmDataProtector::~CAesGcmDataProtector() {
  OPENSSL_cleanse(m_key.data(), m_key.size());
}

std::string CAesGcmDataProtector::DefaultKeyPath() {
  const std::string folder = UserSettingsFolder();
  return folder.empty() ? std::string() : folder + "/protection.key";
}

bool CAesGcmDataProtector::Protect(const std::vector<std::uint8_t>& data,
                                   const std::vector<std::uint8_t>& entropy,
                                   std::vector<std::uint8_t>* blob) {
  blob->clear();
  if (data.size() > INT_MAX - kHeaderSize - kTagSize || entropy.size() > INT_MAX) {
    return false;
  }
  Key key;
  if (!GetKey(true, &key)) {
    return false;
  }
  std::vector<std::uint8_t> sealed(kHeaderSize + data.size() + kTagSize);
  sealed[0] = kBlobVersion;
  if (!RandomBytes(&sealed[1], kNonceSize)) {
    m_logger.error("dp: no random bytes for a nonce: %s", std::strerror(errno));
    OPENSSL_cleanse(key.data(), key.size());
    return false;
  }
  const CipherContext context = NewContext();
  int length = 0;
  const bool ok =
      context != nullptr &&
      EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) == 1 &&
      EVP_EncryptInit_ex(context.get(), nullptr, nullptr, key.data(), &sealed[1]) == 1 &&
      AddAssociatedData(context.get(), entropy, true) &&
      (data.empty() || EVP_EncryptUpdate(context.get(), &sealed[kHeaderSize], &length, data.data(),
                                         static_cast<int>(data.size())) == 1) &&
      EVP_EncryptFinal_ex(context.get(), &sealed[kHeaderSize + data.size()], &length) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, kTagSize,
                          &sealed[kHeaderSize + data.size()]) == 1;
  OPENSSL_cleanse(key.data(), key.size());
  if (!ok) {
    m_logger.error("dp: encryption failed");
    return false;
  }
  *blob = std::move(sealed);
  return true;
}

bool CAesGcmDataProtector::Unprotect(const std::vector<std::uint8_t>& blob,
                                     const std::vector<std::uint8_t>& entropy,
                                     std::vector<std::uint8_t>* data) {
  data->clear();
  if (blob.size() < kHeaderSize + kTagSize || blob[0] != kBlobVersion || blob.size() > INT_MAX ||
      entropy.size() > INT_MAX) {
    return false;
  }
  Key key;
  if (!GetKey(false, &key)) {
    return false;
  }
  const std::size_t size = blob.size() - kHeaderSize - kTagSize;
  std::vector<std::uint8_t> opened(size);
  std::uint8_t tag[kTagSize];
  std::memcpy(tag, &blob[kHeaderSize + size], kTagSize);
  const CipherContext context = NewContext();
  int length = 0;
  std::uint8_t none[1];
  const bool ok =
      context != nullptr &&
      EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) == 1 &&
      EVP_DecryptInit_ex(context.get(), nullptr, nullptr, key.data(), &blob[1]) == 1 &&
      AddAssociatedData(context.get(), entropy, false) &&
      (size == 0 || EVP_DecryptUpdate(context.get(), opened.data(), &length, &blob[kHeaderSize],
                                      static_cast<int>(size)) == 1) &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag) == 1 &&
      EVP_DecryptFinal_ex(context.get(), size == 0 ? none : opened.data() + size, &length) == 1;
  OPENSSL_cleanse(key.data(), key.size());
  if (!ok) {
    OPENSSL_cleanse(opened.data(), opened.size());
    return false;  // tampered, another key or another entropy: the caller decides what to say
  }
  *data = std::move(opened);
  return true;
}

bool CAesGcmDataProtector::GetKey(bool create, Key* key) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_bSwept) {
    m_bSwept = true;
    RemoveLeftovers();
  }
  if (!m_bHaveKey) {
    bool missing = false;
    if (!ReadKeyFile(&m_key, &missing)) {
      if (!missing || !create || !CreateKeyFile(&m_key)) {
        return false;
      }
    }
    m_bHaveKey = true;
  }
  *key = m_key;
  return true;
}

void CAesGcmDataProtector::RemoveLeftovers() {
  const std::string folder = ParentFolder(m_strKeyPath);
  const std::size_t cut = m_strKeyPath.find_last_of('/');
  const std::string own = cut == std::string::npos ? m_strKeyPath : m_strKeyPath.substr(cut + 1);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    return;  // no folder yet: nothing was ever made here
  }
  while (const dirent* entry = readdir(listing)) {
    if (std::strncmp(entry->d_name, own.c_str(), own.size()) != 0) {
      continue;
    }
    const std::string path = folder + "/" + entry->d_name;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        IsLeftover(entry->d_name + own.size(), info) && unlink(path.c_str()) == 0) {
      m_logger.debug("dp: removed %s, left by a key making that never finished", path.c_str());
    }
  }
  closedir(listing);
}

bool CAesGcmDataProtector::ReadKeyFile(Key* key, bool* missing) {
  *missing = false;
  const int fd = open(m_strKeyPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      *missing = true;
    } else {
      m_logger.error("dp: cannot open the key file %s: %s", m_strKeyPath.c_str(),
                     std::strerror(errno));
    }
    return false;
  }
  struct stat info {};
  const char* refusal = nullptr;
  if (fstat(fd, &info) != 0) {
    refusal = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "not a regular file";
  } else if (info.st_uid != geteuid()) {
    refusal = "owned by another user";
  } else if ((info.st_mode & 077) != 0) {
    refusal = "open to other users; it must have mode 0600";
  } else if (info.st_size != static_cast<off_t>(key->size())) {
    refusal = "not a key of 32 bytes";
  }
  std::size_t got = 0;
  while (refusal == nullptr && got < key->size()) {
    const ssize_t n = read(fd, key->data() + got, key->size() - got);
    if (n <= 0 && !(n < 0 && errno == EINTR)) {
      refusal = n < 0 ? std::strerror(errno) : "shorter than it was";
    } else if (n > 0) {
      got += static_cast<std::size_t>(n);
    }
  }
  close(fd);
  if (refusal != nullptr) {
    OPENSSL_cleanse(key->data(), key->size());
    // Every seal and unseal asks again, so that a mended key is taken at once; the reason is
    // told once until it changes.
    if (m_strLastRefusal != refusal) {
      m_strLastRefusal = refusal;
      m_logger.error("dp: key file %s refused: %s", m_strKeyPath.c_str(), refusal);
    }
    return false;
  }
  m_strLastRefusal.clear();
  return true;
}

bool CAesGcmDataProtector::CreateKeyFile(Key* key) {
  if (!EnsurePrivateFolder(ParentFolder(m_strKeyPath))) {
    m_logger.error("dp: cannot make the folder of %s: %s", m_strKeyPath.c_str(),
                   std::strerror(errno));
    return false;
  }
  std::uint8_t suffix[4];
  if (!RandomBytes(key->data(), key->size()) || !RandomBytes(suffix, sizeof(suffix))) {
    m_logger.error("dp: no random bytes for a key: %s", std::strerror(errno));
    return false;
  }
  char name[32];
  std::snprintf(name, sizeof(name), "%s%d-%02x%02x%02x%02x", kTemporaryMark,
                static_cast<int>(getpid()), suffix[0], suffix[1], suffix[2], suffix[3]);
  const std::string temporary = m_strKeyPath + name;
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    m_logger.error("dp: cannot create %s: %s", temporary.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = WriteAll(fd, key->data(), key->size()) && fsync(fd) == 0;
  const int writeError = errno;
  close(fd);
  if (!written) {
    unlink(temporary.c_str());
    m_logger.error("dp: cannot write %s: %s", temporary.c_str(), std::strerror(writeError));
    return false;
  }
  if (!RenameWithoutReplacing(temporary, m_strKeyPath)) {
    const int renameError = errno;
    unlink(temporary.c_str());
    if (renameError == EEXIST) {
      // Another process made the key first: use that one, or data it sealed would be lost.
      bool missing = false;
      return ReadKeyFile(key, &missing);
    }
    m_logger.error("dp: cannot put the key in place at %s: %s", m_strKeyPath.c_str(),
                   std::strerror(renameError));
    return false;
  }
  SyncParentFolder(m_strKeyPath);
  m_logger.debug("dp: new key made in %s", m_strKeyPath.c_str());
  return true;
}
