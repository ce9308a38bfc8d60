// Registry seam: the per-user settings store, with the semantics of the Windows registry
// that the options code relies on.
//
// - Keys are paths of "\"-separated names below a root, compared case-insensitively (as
//   FoldRegistryName folds them). An empty path names the key itself; a path with an empty
//   name in it (two separators in a row, or one at either end) is refused with
//   kRegInvalidParameter.
// - Values are typed: kRegDword (4 bytes, little-endian) or kRegSz (UTF-16LE with a
//   terminating NUL, so 2 x (characters + 1) bytes). Other types may be stored and read back
//   as raw bytes.
// - QueryValue behaves as RegQueryValueExW: with `data` null it reports the size; with a
//   buffer too small it returns kRegMoreData and sets `*size` to the size needed; on success
//   it sets `*type` and `*size`. A missing key or value gives kRegFileNotFound.
// - A key opened for reading (OpenKey, OpenSubKey) refuses SetValue and CreateSubKey with
//   kRegAccessDenied; a key opened for writing (CreateKey, CreateSubKey) does both.
//
// Errors: every operation returns a Win32 status code (kRegOk on success, the system's
// values below otherwise); nothing throws except std::bad_alloc.
//
// Ownership: a key is closed when its object is destroyed; subkeys opened from a key may
// outlive it.
//
// Threading: one thread at a time per key object; several processes may use one store.
// Atomicity: the writes made between BeginWriteBatch and the batch's Commit become visible
// together or not at all where the store supports it (each write stands alone otherwise).
// Reads through the same registry see the batch's writes at once; other registries over the
// same store see them only after Commit. While a batch is open, other threads' calls on the
// same registry wait for it to end. A batch begun while this thread already has one open joins
// it: only the outermost batch commits or abandons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using RegistryStatus = std::int32_t;

// Win32 status codes, with the system's values.
inline constexpr RegistryStatus kRegOk = 0;
inline constexpr RegistryStatus kRegFileNotFound = 2;
inline constexpr RegistryStatus kRegAccessDenied = 5;
inline constexpr RegistryStatus kRegInvalidHandle = 6;
inline constexpr RegistryStatus kRegInvalidData = 13;
inline constexpr RegistryStatus kRegOutOfMemory = 14;
inline constexpr RegistryStatus kRegWriteFault = 29;
inline constexpr RegistryStatus kRegReadFault = 30;
inline constexpr RegistryStatus kRegInvalidParameter = 87;
inline constexpr RegistryStatus kRegBusy = 170;  // another user of the store held it too long
inline constexpr RegistryStatus kRegMoreData = 234;
inline constexpr RegistryStatus kRegBadDatabase = 1009;  // ERROR_BADDB: the store is damaged

// Value types, with the system's values.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

enum class RegistryRoot { kCurrentUser };

class IRegistryKey {
 public:
  virtual ~IRegistryKey() = default;

  // Opens the existing subkey `path` for reading.
  virtual RegistryStatus OpenSubKey(const std::wstring& path,
                                    std::unique_ptr<IRegistryKey>* subKey) = 0;
  // Opens the subkey `path` for writing, creating every missing key on the way.
  virtual RegistryStatus CreateSubKey(const std::wstring& path,
                                      std::unique_ptr<IRegistryKey>* subKey) = 0;

  // Reads value `name`; see the file comment for the size rules. `type` and `data` may be
  // null.
  virtual RegistryStatus QueryValue(const std::wstring& name, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* size) = 0;
  // Writes value `name` with `size` bytes of `data`, replacing any earlier value.
  virtual RegistryStatus SetValue(const std::wstring& name, std::uint32_t type,
                                  const std::uint8_t* data, std::uint32_t size) = 0;
};

class IRegistryWriteBatch {
 public:
  virtual ~IRegistryWriteBatch() = default;  // without Commit, the writes are abandoned
  // Makes the batch's writes visible; a failure (or a failed write inside the batch)
  // abandons them all and is returned.
  virtual RegistryStatus Commit() = 0;
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // Opens the existing key `path` below `root` for reading.
  virtual RegistryStatus OpenKey(RegistryRoot root, const std::wstring& path,
                                 std::unique_ptr<IRegistryKey>* key) = 0;
  // Opens the key `path` below `root` for writing, creating every missing key on the way.
  virtual RegistryStatus CreateKey(RegistryRoot root, const std::wstring& path,
                                   std::unique_ptr<IRegistryKey>* key) = 0;

  // Starts a group of writes made on this thread that become visible together. Never null.
  virtual std::unique_ptr<IRegistryWriteBatch> BeginWriteBatch() = 0;
};

// Rules every implementation shares, so that they cannot drift apart.

// The form in which two names compare equal: letters folded to upper case (ASCII, Latin-1,
// Greek and Cyrillic; other characters stand as they are).
std::wstring FoldRegistryName(std::wstring_view name);

// Splits a key path into its names. False (kRegInvalidParameter) for an empty name inside it;
// an empty path gives no names.
bool SplitRegistryPath(std::wstring_view path, std::vector<std::wstring>* names);

// Answers a QueryValue for the stored value `stored` of type `storedType`, with the size
// rules above.
RegistryStatus AnswerRegistryQuery(std::uint32_t storedType,
                                   const std::vector<std::uint8_t>& stored, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* size);
