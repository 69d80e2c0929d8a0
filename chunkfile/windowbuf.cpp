#include "chunkfile/windowbuf.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace kin {
namespace {

using off_type = std::streambuf::off_type;
using pos_type = std::streambuf::pos_type;

const pos_type kNoPosition = pos_type(off_type(-1));

// `a + b`, or false when the sum would overflow.
bool AddOffsets(off_type a, off_type b, off_type* sum) {
  if (b > 0 && a > std::numeric_limits<off_type>::max() - b) return false;
  if (b < 0 && a < std::numeric_limits<off_type>::min() - b) return false;
  *sum = a + b;
  return true;
}

}  // namespace

windowbuf::windowbuf(std::streambuf* target, std::size_t windowSize)
    : target_(target),
      size_(std::clamp<std::size_t>(windowSize, 1, kMaxWindowSize)) {
  if (target_ != nullptr) window_ = new (std::nothrow) char[size_];
  StartWindow(-1);
}

windowbuf::~windowbuf() { delete[] window_; }

bool windowbuf::Register(std::ios& stream, windowbuf* window) {
  if (stream.bad()) return false;
  void*& entry = stream.pword(StreamIndex());
  // A stream that had no room for the entry hands back a scratch slot and
  // makes itself bad; that slot must not keep the window.
  if (stream.bad()) return false;
  entry = window;
  return true;
}

void windowbuf::StartWindow(off_type start) {
  start_ = start;
  used_ = 0;
  // A failed buffer has no put area, so that even single characters reach
  // `overflow` and fail there.
  if (window_ != nullptr && !failed_) {
    setp(window_, window_ + size_);
  } else {
    setp(nullptr, nullptr);
  }
}

bool windowbuf::Flush() {
  if (failed_ || window_ == nullptr) return false;
  const std::ptrdiff_t used = Used();
  if (used == 0) return true;
  if (target_->sputn(window_, used) != used) {
    // What the target refused is lost: every later write or seek fails.
    failed_ = true;
    StartWindow(-1);
    return false;
  }
  if (start_ >= 0) {
    if (end_ >= 0) end_ = std::max(end_, start_ + used);
    const std::ptrdiff_t put = pptr() - pbase();
    if (put < used) {
      // The put position lies behind the bytes handed over (a flush right
      // after a seek back): the target must go back there too.
      const off_type at = start_ + put;
      if (target_->pubseekpos(at, std::ios_base::out) != pos_type(at)) {
        StartWindow(-1);
        return false;
      }
      StartWindow(at);
    } else {
      StartWindow(start_ + used);
    }
  } else {
    end_ = -1;
    StartWindow(-1);
  }
  return true;
}

void windowbuf::Reset() {
  failed_ = false;
  unpositioned_ = false;
  end_ = -1;
  StartWindow(-1);
}

bool windowbuf::KnowStart() {
  if (start_ >= 0) return true;
  if (unpositioned_ || failed_ || window_ == nullptr) return false;
  // The window's bytes go first, so that the target's position is that of
  // the window's start.
  if (!Flush()) return false;
  const pos_type at =
      target_->pubseekoff(0, std::ios_base::cur, std::ios_base::out);
  if (at == kNoPosition) {
    unpositioned_ = true;
    return false;
  }
  if (end_ < 0) {
    // Learnt once, so that the seek to the end after each patch can be
    // served from the window.
    const pos_type end =
        target_->pubseekoff(0, std::ios_base::end, std::ios_base::out);
    if (end != kNoPosition && end != at &&
        target_->pubseekpos(at, std::ios_base::out) != at) {
      return false;
    }
    if (end != kNoPosition) end_ = off_type(end);
  }
  start_ = off_type(at);
  return true;
}

pos_type windowbuf::SeekTarget(off_type offset,
                               std::ios_base::seekdir direction) {
  if (!Flush()) return kNoPosition;
  const pos_type at =
      target_->pubseekoff(offset, direction, std::ios_base::out);
  if (at == kNoPosition) {
    // Where the target stands now is not known: ask it again when needed.
    StartWindow(-1);
    return kNoPosition;
  }
  if (direction == std::ios_base::end) end_ = off_type(at) - offset;
  unpositioned_ = false;
  StartWindow(off_type(at));
  return at;
}

pos_type windowbuf::seekoff(off_type offset, std::ios_base::seekdir direction,
                            std::ios_base::openmode which) {
  if (!(which & std::ios_base::out) || failed_ || window_ == nullptr) {
    return kNoPosition;
  }
  // The position query, made twice per chunk.
  if (offset == 0 && direction == std::ios_base::cur && start_ >= 0) {
    return pos_type(start_ + (pptr() - pbase()));
  }
  off_type position = 0;
  if (direction == std::ios_base::beg) {
    position = offset;
  } else if (direction == std::ios_base::cur) {
    if (!KnowStart() ||
        !AddOffsets(start_ + (pptr() - pbase()), offset, &position)) {
      return kNoPosition;
    }
  } else if (direction == std::ios_base::end) {
    if (!KnowStart() || end_ < 0) return SeekTarget(offset, direction);
    const off_type end = Used() > 0 ? std::max(end_, start_ + used_) : end_;
    if (!AddOffsets(end, offset, &position)) return kNoPosition;
  } else {
    return kNoPosition;
  }
  if (position < 0) return kNoPosition;

  // Inside the window, from its first byte up to and including the position
  // just after its furthest byte: only the put pointer moves.
  if (KnowStart() && position >= start_ && position - start_ <= Used()) {
    setp(window_, window_ + size_);
    pbump(static_cast<int>(position - start_));
    return pos_type(position);
  }
  return SeekTarget(position, std::ios_base::beg);
}

pos_type windowbuf::seekpos(pos_type position, std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

windowbuf::int_type windowbuf::overflow(int_type c) {
  if (start_ < 0) KnowStart();
  if (!Flush()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    return traits_type::not_eof(c);
  }
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize windowbuf::xsputn(const char* data, std::streamsize count) {
  // Almost every write is a few bytes that fit: copy them and return.
  if (count <= epptr() - pptr() && start_ >= 0) {
    CopyBytes(pptr(), data, static_cast<std::size_t>(count));
    pbump(static_cast<int>(count));
    return count;
  }
  return PutSlowly(data, count);
}

std::streamsize windowbuf::PutSlowly(const char* data, std::streamsize count) {
  if (failed_ || window_ == nullptr) return 0;
  if (start_ < 0) KnowStart();
  std::streamsize done = 0;
  while (done < count) {
    std::streamsize room = epptr() - pptr();
    if (room == 0) {
      if (!Flush()) break;
      room = epptr() - pptr();
    }
    const std::streamsize step = std::min(room, count - done);
    CopyBytes(pptr(), data + done, static_cast<std::size_t>(step));
    pbump(static_cast<int>(step));
    done += step;
  }
  return done;
}

int windowbuf::sync() {
  if (!Flush()) return -1;
  return target_->pubsync() == 0 ? 0 : -1;
}

}  // namespace kin
