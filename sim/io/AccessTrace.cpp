#include "sim/io/AccessTrace.h"

namespace sim {

void AccessTrace::Record(Access access) {
  access.Sequence = ++sequence_;
  if (access.Context.empty())
    access.Context = Context();
  auto &counts = access.Space == AccessSpace::Port ? ports_ : mmio_;
  auto &c = counts[access.Address];
  (access.Kind == AccessKind::Read ? c.Reads : c.Writes)++;
  entries_.push_back(std::move(access));
  while (entries_.size() > limit_) {
    entries_.pop_front();
    ++dropped_;
  }
}

AccessTrace::Counts AccessTrace::CountsFor(AccessSpace space, uint64_t address) const {
  const auto &counts = space == AccessSpace::Port ? ports_ : mmio_;
  auto it = counts.find(address);
  return it == counts.end() ? Counts{} : it->second;
}

std::vector<Access> AccessTrace::Writes(AccessSpace space, uint64_t address) const {
  std::vector<Access> out;
  for (const auto &a : entries_)
    if (a.Space == space && a.Address == address && a.Kind == AccessKind::Write)
      out.push_back(a);
  return out;
}

void AccessTrace::Clear() {
  entries_.clear();
  ports_.clear();
  mmio_.clear();
  dropped_ = 0;
}

const std::string &AccessTrace::Context() const {
  static const std::string none;
  return context_.empty() ? none : context_.back();
}

AccessTrace::Scope::Scope(AccessTrace &trace, std::string tag) : trace_(trace) {
  trace_.context_.push_back(std::move(tag));
}

AccessTrace::Scope::~Scope() {
  trace_.context_.pop_back();
}

} // namespace sim
