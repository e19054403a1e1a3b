// The trace of every port access and every access to a device's MMIO
// registers, with the context each happened in ("boot", "smi:0xE3", ...).
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace sim {

enum class AccessSpace : uint8_t { Port, Mmio };
enum class AccessKind : uint8_t { Read, Write };

struct Access {
  uint64_t Sequence; // 1-based, counts dropped entries too
  AccessSpace Space;
  AccessKind Kind;
  uint64_t Address; // port number or physical address
  uint8_t Width;    // bytes: 1, 2, 4 (8 for MMIO)
  uint64_t Value;
  std::string Device;  // handler that served it; empty: nobody decodes the address
  std::string Context; // innermost context tag
};

class AccessTrace {
public:
  struct Counts {
    uint64_t Reads = 0;
    uint64_t Writes = 0;
  };

  explicit AccessTrace(size_t limit = 200000) : limit_(limit) {}

  void Record(Access access);
  // Entries kept (the oldest ones beyond the limit are dropped; the counters
  // stay exact).
  const std::deque<Access> &Entries() const { return entries_; }
  uint64_t Dropped() const { return dropped_; }
  uint64_t Total() const { return sequence_; }
  const std::map<uint64_t, Counts> &PortCounts() const { return ports_; }
  Counts CountsFor(AccessSpace space, uint64_t address) const;
  // Convenience for tests and reports.
  std::vector<Access> Writes(AccessSpace space, uint64_t address) const;
  void Clear();

  // Context tags nest: the innermost names the access.
  class Scope {
  public:
    Scope(AccessTrace &trace, std::string tag);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    AccessTrace &trace_;
  };
  const std::string &Context() const;
  void SetLimit(size_t limit) { limit_ = limit; }

private:
  std::deque<Access> entries_;
  std::vector<std::string> context_;
  std::map<uint64_t, Counts> ports_;
  std::map<uint64_t, Counts> mmio_;
  uint64_t sequence_ = 0;
  uint64_t dropped_ = 0;
  size_t limit_;
};

} // namespace sim
