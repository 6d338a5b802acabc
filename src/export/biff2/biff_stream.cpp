#include "export/biff2/biff_stream.h"

namespace rb {

void BiffStream::WriteByte(std::uint8_t value) {
    WriteBytes(&value, 1);
}

void BiffStream::WriteWord(std::uint16_t value) {
    std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value & 0xFF),
                             static_cast<std::uint8_t>(value >> 8)};
    WriteBytes(bytes, 2);
}

void BiffStream::WriteBytes(const void* data, std::size_t size) {
    if (!sink_ || !size)
        return;
    pending_.append(static_cast<const char*>(data), size);
    if (pending_.size() >= kBlock)
        Flush();
}

void BiffStream::Flush() {
    if (sink_ && !pending_.empty())
        sink_->Write(pending_.data(), pending_.size());
    pending_.clear();
}

void BiffStream::Close() {
    if (!sink_)
        return;
    Flush();
    sink_->Close();
    sink_.reset();
}

void BofRecord::Write(BiffStream& stream) const {
    stream.WriteWord(0x0009);
    stream.WriteWord(4);
    stream.WriteWord(0x0002);
    stream.WriteWord(0x0010);
}

void EofRecord::Write(BiffStream& stream) const {
    stream.WriteWord(0x000A);
    stream.WriteWord(0);
}

} // namespace rb
