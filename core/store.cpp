#include "core/store.h"

#include "core/passwords.h"
#include "core/port_values.h"
#include "core/state.h"
#include "core/text.h"
#include "core/url.h"

namespace core {
namespace {

void PortKeyPath(const char* port_name, char* out, std::size_t size) {
  CopyText(out, size, g_monitor.ports_key);
  AppendText(out, size, "\\");
  AppendText(out, size, port_name);
}

// Registry data is not trusted: every value is read into a scratch buffer of
// the field's size and copied only when its type and length are right.
void LoadDword(HKEY key, const char* name, std::uint32_t* field) {
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof(value))
    *field = value;
}

void LoadWord(HKEY key, const char* name, std::uint16_t* field) {
  std::uint32_t value = *field;
  LoadDword(key, name, &value);
  *field = static_cast<std::uint16_t>(value);
}

// Reads at most `size` bytes including the terminator. A value written
// without its terminator is accepted when the terminator still fits.
void LoadString(HKEY key, const char* name, char* field, DWORD size) {
  auto* scratch = static_cast<char*>(Alloc(size));
  if (scratch == nullptr) return;
  DWORD type = 0, length = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &length) ==
          ERROR_SUCCESS &&
      type == REG_SZ && length <= size) {
    DWORD end = 0;
    while (end < length && scratch[end] != '\0') ++end;
    if (end < size) {
      scratch[end] = '\0';
      CopyText(field, size, scratch);
    }
  }
  Free(scratch);
}

// Binary values: at most `size` bytes; returns the count read, -1 if none.
long LoadBinary(HKEY key, const char* name, void* field, DWORD size) {
  auto* scratch = static_cast<BYTE*>(Alloc(size ? size : 1));
  if (scratch == nullptr) return -1;
  long result = -1;
  DWORD type = 0, length = size;
  if (RegQueryValueExA(key, name, nullptr, &type, scratch, &length) == ERROR_SUCCESS &&
      type == REG_BINARY && length <= size) {
    CopyMemory(field, scratch, length);
    result = static_cast<long>(length);
  }
  Free(scratch);
  return result;
}

// Text fields kept as binary values: the field's last byte stays the zero.
void LoadBinaryText(HKEY key, const char* name, char* field, DWORD size) {
  ZeroMemory(field, size);
  LoadBinary(key, name, field, size - 1);
}

void LoadIppPassword(HKEY key, const char* name, char* field) {
  std::uint8_t stored[kIppPasswordStored];
  long size = LoadBinary(key, name, stored, sizeof(stored));
  if (size >= 0) DecodePassword(field, stored, static_cast<std::size_t>(size));
}

void LoadValue(HKEY key, const PortValue& v, std::uint8_t* block) {
  void* field = block + v.offset;
  switch (v.type) {
    case ValueType::kDword: LoadDword(key, v.name, static_cast<std::uint32_t*>(field)); break;
    case ValueType::kWord: LoadWord(key, v.name, static_cast<std::uint16_t*>(field)); break;
    case ValueType::kString: LoadString(key, v.name, static_cast<char*>(field), v.size); break;
    case ValueType::kBinaryText:
    case ValueType::kMailPassword:
      LoadBinaryText(key, v.name, static_cast<char*>(field), v.size);
      break;
    case ValueType::kIppPassword: LoadIppPassword(key, v.name, static_cast<char*>(field)); break;
  }
}

// Conditional values are read last: their condition looks at values of
// the same key.
void LoadBlock(HKEY key, std::uint32_t kind, void* block) {
  const KindValues* k = ValuesOf(kind);
  if (k == nullptr) return;
  auto* base = static_cast<std::uint8_t*>(block);
  for (std::size_t i = 0; i < k->count; ++i) {
    const PortValue& v = k->values[i];
    if (v.load == OnLoad::kReset) SetDefault(v, block);
    if (v.condition == Condition::kAlways) LoadValue(key, v, base);
  }
  for (std::size_t i = 0; i < k->count; ++i) {
    const PortValue& v = k->values[i];
    if (v.condition != Condition::kAlways && ConditionHolds(v, block)) LoadValue(key, v, base);
  }
  if (kind == kIpp) ParseUrl(static_cast<IppBlock*>(block));
}

void WriteString(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), TextLength(text));
}

void WriteBytes(HKEY key, const char* name, const void* data, DWORD size) {
  RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

void WriteNewValue(HKEY key, const PortValue& v, const std::uint8_t* settings) {
  bool given = v.create == OnCreate::kSettings;
  const std::uint8_t* field = settings + v.offset;
  switch (v.type) {
    case ValueType::kDword:
    case ValueType::kWord: {
      DWORD n = v.fallback;
      if (given && v.type == ValueType::kDword) CopyMemory(&n, field, sizeof(std::uint32_t));
      if (given && v.type == ValueType::kWord) n = *reinterpret_cast<const std::uint16_t*>(field);
      WriteDword(key, v.name, n);
      break;
    }
    case ValueType::kString:
      WriteString(key, v.name, given ? reinterpret_cast<const char*>(field) : "");
      break;
    case ValueType::kBinaryText:
    case ValueType::kMailPassword:  // the settings hold it scrambled already
      WriteBytes(key, v.name, field, given ? static_cast<DWORD>(FieldTextLength(v, settings)) : 0);
      break;
    case ValueType::kIppPassword: {
      // A new key's password is one zero byte: too short to be a count, so
      // it loads as no password until the configure dialog writes one.
      static constexpr BYTE kNoPassword = 0;
      WriteBytes(key, v.name, &kNoPassword, 1);
      break;
    }
  }
}

void WriteNewValues(HKEY key, const void* settings, std::uint32_t kind) {
  const KindValues* k = ValuesOf(kind);
  if (k == nullptr) return;
  if (k->timeout != 0) {
    WriteDword(key, "CmdTmout", k->timeout);
    WriteDword(key, "DatTmout", k->timeout);
  }
  for (std::size_t i = 0; i < k->count; ++i)
    WriteNewValue(key, k->values[i], static_cast<const std::uint8_t*>(settings));
}

void WriteConfiguredValue(HKEY key, const PortValue& v, const std::uint8_t* block) {
  const std::uint8_t* field = block + v.offset;
  auto length = static_cast<DWORD>(FieldTextLength(v, block));
  switch (v.type) {
    case ValueType::kDword: {
      DWORD n;
      CopyMemory(&n, field, sizeof(n));
      WriteDword(key, v.name, n);
      break;
    }
    case ValueType::kWord: {
      std::uint16_t n;
      CopyMemory(&n, field, sizeof(n));
      WriteDword(key, v.name, n);
      break;
    }
    case ValueType::kString:
      RegSetValueExA(key, v.name, 0, REG_SZ, field,
                     v.configure == OnConfigure::kWholeField ? v.size : length);
      break;
    case ValueType::kBinaryText: WriteBytes(key, v.name, field, length); break;
    case ValueType::kIppPassword: {
      char clear[kIppPasswordChars + 1];
      CopyText(clear, sizeof(clear), reinterpret_cast<const char*>(field));
      std::uint8_t stored[kIppPasswordStored];
      WriteBytes(key, v.name, stored, static_cast<DWORD>(EncodePassword(stored, clear)));
      break;
    }
    case ValueType::kMailPassword: {
      // The dialog edits the password in clear; the registry only ever
      // holds it scrambled. A byte that wraps to zero ends the stored value.
      char scrambled[sizeof(MailBlock::AuthPass)];
      CopyText(scrambled, sizeof(scrambled), reinterpret_cast<const char*>(field));
      WriteBytes(key, v.name, scrambled, static_cast<DWORD>(Scramble(scrambled)));
      break;
    }
  }
}

}  // namespace

bool WriteConfiguredValues(const char* port_name, const PortEntry* settings) {
  const KindValues* k = ValuesOf(settings->block_kind);
  if (k == nullptr || settings->block == nullptr) return false;
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
  // Kinds that send have a time-out and automatic retry; an E-mail port's
  // dialog shows neither.
  if (k->timeout != 0) {
    WriteDword(key, "CmdTmout", settings->cmd_timeout);
    WriteDword(key, "DatTmout", settings->data_timeout);
    WriteDword(key, "Reconnection", settings->Reconnection);
  }
  const auto* block = static_cast<const std::uint8_t*>(settings->block);
  for (std::size_t i = 0; i < k->count; ++i)
    if (IsConfigured(k->values[i], block)) WriteConfiguredValue(key, k->values[i], block);
  RegCloseKey(key);
  return true;
}

bool ReadKeyValue(HKEY root, const char* path, const char* value, void* data, DWORD* size,
                  DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LONG status = RegQueryValueExA(key, value, nullptr, type, static_cast<BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteKeyValue(const char* path, const char* value, const void* data, DWORD size, DWORD type) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
  LONG status = RegSetValueExA(key, value, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteDword(HKEY key, const char* value, DWORD number) {
  return RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof(number)) == ERROR_SUCCESS;
}

DWORD ReadMonitorDword(const char* value, DWORD fallback) {
  DWORD number = 0, size = sizeof(number), type = 0;
  if (ReadKeyValue(HKEY_LOCAL_MACHINE, g_monitor.monitor_key, value, &number, &size, &type) &&
      type == REG_DWORD && size == sizeof(number))
    return number;
  return fallback;
}

bool ReadInstallPath(char* buffer, DWORD size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitor_key, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  LoadString(key, "InstallPath", buffer, size);
  RegCloseKey(key);
  return buffer[0] != '\0';
}

bool ReadPrintMode(const char* port_name, DWORD* kind) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  DWORD value = 0, size = sizeof(value), type = 0;
  if (!ReadKeyValue(HKEY_LOCAL_MACHINE, path, "PrintMode", &value, &size, &type) ||
      type != REG_DWORD || size != sizeof(value))
    return false;
  *kind = value;
  return true;
}

bool CreatePortRecord(const void* settings, const char* port_name, std::uint32_t kind) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  HKEY key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, &disposition) != ERROR_SUCCESS)
    return false;
  if (disposition == REG_CREATED_NEW_KEY) {
    WriteDword(key, "PrintMode", kind);
    WriteDword(key, "NonSpool", 0);
    WriteDword(key, "Reconnection", ReadMonitorDword("Reconnection", 0));
    WriteNewValues(key, settings, kind);
  }
  RegCloseKey(key);
  return true;
}

LONG LoadPortRecord(PortEntry* port, const char* registry_name) {
  char path[400];
  PortKeyPath(registry_name, path, sizeof(path));
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  LoadDword(key, "CmdTmout", &port->cmd_timeout);
  LoadDword(key, "DatTmout", &port->data_timeout);
  LoadDword(key, "PrintMode", &port->kind);
  LoadDword(key, "NonSpool", &port->NonSpool);
  LoadDword(key, "Reconnection", &port->Reconnection);
  port->SendBufSize = ReadMonitorDword("SendBufSize", kDefaultSendBufSize);
  // A "PrintMode" changed behind the monitor's back must not pour another
  // kind's values into this block.
  if (port->block != nullptr && port->kind == port->block_kind) LoadBlock(key, port->kind, port->block);
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

bool DeletePortRecord(const char* port_name) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS;
}

bool IsRegisteredPort(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.ports_key, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  bool found = false;
  char subkey[260];
  for (DWORD i = 0; !found && RegEnumKeyA(key, i, subkey, sizeof(subkey)) == ERROR_SUCCESS; ++i)
    found = lstrcmpA(subkey, name) == 0;
  RegCloseKey(key);
  return found;
}

}  // namespace core
