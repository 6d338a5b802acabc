// A BIFF2 worksheet stream: little-endian records written to a byte sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rb {

// Where the bytes go: an open file, or memory in tests.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual void Close() = 0;
};

// Owns its sink once handed over; single write errors are not detected. Bytes are
// gathered and handed to the sink in large blocks.
class BiffStream {
public:
    explicit BiffStream(std::unique_ptr<ByteSink> sink) : sink_(std::move(sink)) {}
    ~BiffStream() { Close(); }
    BiffStream(const BiffStream&) = delete;
    BiffStream& operator=(const BiffStream&) = delete;

    void WriteByte(std::uint8_t value);
    // Low byte first.
    void WriteWord(std::uint16_t value);
    void WriteBytes(const void* data, std::size_t size);
    // Hands over what is gathered and closes the sink.
    void Close();

private:
    void Flush();
    static constexpr std::size_t kBlock = 64 * 1024;
    std::unique_ptr<ByteSink> sink_;
    std::string pending_;
};

class BiffRecord {
public:
    virtual ~BiffRecord() = default;
    virtual void Write(BiffStream& stream) const = 0;
};

// 09 00 04 00 02 00 10 00: BIFF2, worksheet.
class BofRecord : public BiffRecord {
public:
    void Write(BiffStream& stream) const override;
};

// 0A 00 00 00.
class EofRecord : public BiffRecord {
public:
    void Write(BiffStream& stream) const override;
};

} // namespace rb
