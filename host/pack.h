// Result buffers as winspool and mpr fill them: fixed-size records at the
// front, their strings packed downwards from the end. Callers that assume the
// strings follow each record, or that read past what they were told was
// needed, break here just as they would on Windows.
#pragma once
#include <windows.h>

#include <cstring>

namespace host {

// Bytes a string takes in the string area; a null pointer takes none.
inline DWORD StringBytes(const char* text) {
  return text ? static_cast<DWORD>(std::strlen(text) + 1) : 0;
}

struct Packer {
  BYTE* front;  // next record
  BYTE* back;   // start of the lowest string written so far
};

inline Packer StartPacking(void* buffer, DWORD size) {
  BYTE* base = static_cast<BYTE*>(buffer);
  return Packer{base, base + size};
}

template <typename Record>
Record* PackRecord(Packer& packer) {
  Record* record = reinterpret_cast<Record*>(packer.front);
  std::memset(record, 0, sizeof(Record));
  packer.front += sizeof(Record);
  return record;
}

inline char* PackString(Packer& packer, const char* text) {
  if (!text) return nullptr;
  DWORD bytes = StringBytes(text);
  packer.back -= bytes;
  std::memcpy(packer.back, text, bytes);
  return reinterpret_cast<char*>(packer.back);
}

}  // namespace host
