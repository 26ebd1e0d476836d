#include "regex/hetero_stack.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace regex {
namespace {

// Readable name of a type: the demangled name when the run-time can give one.
std::string readable_name(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                              std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

// Largest payload of a block appended at the end of the chain. The first heap
// block has a 16-byte payload; each further one doubles up to this size, so a
// deep search costs a few large blocks instead of one small block per record.
constexpr std::size_t max_block_payload = 64 * 1024;
constexpr std::size_t first_block_payload = 16;

}  // namespace

hetero_stack::type_error::type_error(const std::type_info& requested, const std::type_info& actual)
    : std::logic_error("type error in hetero_stack (requested type: " + readable_name(requested) +
                       ", actual type: " + readable_name(actual) + ")"),
      requested_(&requested),
      actual_(&actual) {}

hetero_stack::hetero_stack() {
  inline_.header.prev = &inline_.header;
  inline_.header.next = nullptr;
  inline_.header.saved_top = inline_.payload;
  inline_.header.end = inline_.payload + word;
  current_ = &inline_.header;
  begin_ = top_ = inline_.payload;
  end_ = inline_.header.end;
  next_payload_ = first_block_payload;
}

hetero_stack::~hetero_stack() {
  unwind(inline_.payload);
  block_header* b = inline_.header.next;
  while (b != nullptr) {
    block_header* next = b->next;
    ::operator delete(b);
    b = next;
  }
}

std::size_t hetero_stack::heap_block_count() const {
  std::size_t count = 0;
  for (const block_header* b = inline_.header.next; b != nullptr; b = b->next) ++count;
  return count;
}

void hetero_stack::grow(std::size_t n) {
  current_->saved_top = top_;
  block_header* next = current_->next;
  if (next == nullptr || static_cast<std::size_t>(next->end - next->payload()) < n) {
    // A new block: exactly n bytes when it goes in front of a smaller emptied
    // block, otherwise at least the growing default size.
    std::size_t payload = n;
    if (next == nullptr) {
      payload = std::max(n, next_payload_);
      next_payload_ = std::min(next_payload_ * 2, max_block_payload);
    }
    auto* b = static_cast<block_header*>(::operator new(sizeof(block_header) + payload));
    b->prev = current_;
    b->next = next;
    b->end = b->payload() + payload;
    b->saved_top = b->payload();
    if (next != nullptr) next->prev = b;
    current_->next = b;
    next = b;
  }
  current_ = next;
  begin_ = top_ = next->payload();
  end_ = next->end;
}

void hetero_stack::step_back() {
  current_->saved_top = top_;
  current_ = current_->prev;
  begin_ = current_->payload();
  top_ = current_->saved_top;
  end_ = current_->end;
}

void hetero_stack::unwind(std::byte* mark) {
  while (top_ != mark) {
    const type_tag* tag = top_tag();
    top_ -= word + tag->aligned_size;
    if (tag->destroy != nullptr) tag->destroy(top_);
    if (top_ == begin_ && top_ != mark && current_ != &inline_.header) step_back();
  }
}

}  // namespace regex
