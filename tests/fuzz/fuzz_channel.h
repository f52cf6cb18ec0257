// An in-process port for the fuzz targets: serves a given byte stream, then silence, and keeps
// what the link writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_channel.h"

namespace fuzzing {

class StreamChannel final : public molvex::ByteChannel, public molvex::PortFactory {
 public:
  void Serve(const std::uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
    next_ = 0;
    written.clear();
    writes = 0;
  }

  molvex::ByteChannel* Open(std::int32_t, std::int32_t) override { return this; }
  bool Write(const std::uint8_t* data, std::size_t size) override {
    written.append(reinterpret_cast<const char*>(data), size);
    ++writes;
    return true;
  }
  void Flush() override {}
  void Discard() override {}
  molvex::ReadStatus ReadByte(std::uint8_t& byte) override {
    if (next_ >= size_) return molvex::ReadStatus::Timeout;
    byte = data_[next_++];
    return molvex::ReadStatus::Byte;
  }
  void ClearError() override {}
  void Close() override {}
  std::int32_t Handle() const override { return 3; }

  std::string written;
  int writes = 0;

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t next_ = 0;
};

}  // namespace fuzzing
