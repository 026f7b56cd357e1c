#include "core/ports.h"

#include "core/ini.h"
#include "core/port_table.h"
#include "core/port_values.h"
#include "core/state.h"
#include "core/store.h"
#include "core/text.h"

namespace core {
namespace {

void FreeEntry(PortEntry* p) {
  Free(p->description);
  Free(p->remote_name);
  Free(p->user_name);
  Free(p->document_name);
  Free(p->block);
  Free(p);
}

// The settings the kind keeps, its defaults, and the run-time fields a new
// entry starts with.
void FillBlock(PortEntry* p, const void* settings) {
  CopySettings(p->kind, p->block, settings);
  switch (p->kind) {
    case kLpr: Lpr(p)->socket = kNoSocket; break;
    case kRaw: Raw(p)->socket = kNoSocket; break;
    case kIpp: {
      IppBlock* b = Ipp(p);
      b->data_socket = b->status_socket = kNoSocket;
      if (settings != nullptr) b->port = static_cast<const IppBlock*>(settings)->port;
      b->request_id = 1;
      break;
    }
    default: break;
  }
  std::uint32_t timeout = ValuesOf(p->kind)->timeout;
  if (timeout != 0) p->cmd_timeout = p->data_timeout = timeout;
  if (p->kind < kMail) p->send = g_monitor.hooks.senders[p->kind].send;
}

}  // namespace

PortEntry* FindPort(const char* name) { return FindPortEntry(g_monitor.ports, name); }

void DefaultDescription(std::uint32_t kind, char* out, std::size_t size) {
  static constexpr const char* kKeys[] = {"IDS_LPR_PORT", "IDS_IPP_PORT", "IDS_RAW_PORT",
                                          "IDS_EMP_PORT"};
  static constexpr const char* kFormats[] = {"%s LPR Port", "%s IPP Port", "%s Raw Port",
                                             "%s E-mail Port"};
  out[0] = '\0';
  if (kind > kMail) return;
  IniText(kMessageIni, kMessageSection, kKeys[kind], {}, out, size);
  if (out[0] == '\0') {
    char text[128];
    wsprintfA(text, kFormats[kind], kBuiltInName);
    CopyText(out, size, text);
  }
}

PortEntry* AddPortEntry(const void* settings, const char* name, const char* description,
                        std::uint32_t kind) {
  std::size_t name_bytes = TextLength(name) + 1;
  auto* p = static_cast<PortEntry*>(Alloc(sizeof(PortEntry) + name_bytes));
  if (p == nullptr) return nullptr;
  p->name = reinterpret_cast<char*>(p + 1);
  CopyMemory(p->name, name, name_bytes);
  p->kind = p->block_kind = kind;
  p->spool_file = INVALID_HANDLE_VALUE;
  std::size_t block_size = BlockSize(kind);
  if (block_size != 0) {
    p->block = Alloc(block_size);
    if (p->block == nullptr) {
      Free(p);
      return nullptr;
    }
    FillBlock(p, settings);
  }
  p->NonSpool = 0;
  p->Reconnection = 0;
  p->SendBufSize = kDefaultSendBufSize;
  if (description != nullptr) {
    p->description = DupText(description[0] != '\0' ? description : name);
    if (p->description == nullptr) {
      FreeEntry(p);
      return nullptr;
    }
  }
  InsertByNameLength(&g_monitor.ports, p);
  return p;
}

bool RemovePortEntry(const char* name) {
  PortEntry* p = UnlinkPortEntry(&g_monitor.ports, name);
  if (p == nullptr) {
    SetLastError(ERROR_UNKNOWN_PORT);
    return false;
  }
  FreeEntry(p);
  return true;
}

}  // namespace core

namespace core {

bool CreateWizardPort(const void* block, const char* name, std::uint32_t kind) {
  char description[kIniTextMax];
  DefaultDescription(kind, description, sizeof(description));
  Locked lock;
  if (AddPortEntry(block, name, description, kind) == nullptr) return false;
  if (CreatePortRecord(block, name, kind)) return true;
  RemovePortEntry(name);
  return false;
}

}  // namespace core
