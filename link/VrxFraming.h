#pragma once
// VRX 2.0 framing: character pairs (d, ~d & 0x7F), ETX pair 03 03 and an XOR checksum.
// Used only at 4800 bit/s for the protocol switch and the bus search.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kVrxLead = 0x7F;
constexpr uint8_t kVrxEtx = 0x03;
constexpr uint8_t kVrxAck = 0x06;
constexpr uint8_t kVrxNak = 0x15;
constexpr uint8_t kVrxCan = 0x18;
constexpr int kMaxVrxRequest = 1023;

struct VrxAddressPair {
    uint8_t group = 0;    // G: 0x02 for addresses 1..15, 0x07..0x14 above; not in the checksum
    uint8_t address = 0;  // A: 0x21..0x2F
};

// Addresses 1..225 map onto (G, A); 0 and anything above 225 give 00 00.
VrxAddressPair VrxAddressFor(int busAddress);
// The inverse, for the receiving side: 0 when the pair names no address.
int VrxBusAddress(uint8_t group, uint8_t address);

// `request` is the bus address followed by the request characters (n bytes, 1..1023).
// Writes the 2n + 5 frame bytes into `out` and returns their count; 0 for a bad n.
size_t BuildVrxRequest(const uint8_t* request, size_t n, uint8_t* out);
std::vector<uint8_t> BuildVrxRequest(const std::vector<uint8_t>& request);

// The form a device answers in: start byte, data pairs, ETX pair, checksum (no 0x7F lead).
std::vector<uint8_t> BuildVrxAnswer(uint8_t start, const std::vector<uint8_t>& data);

// Parses a VRX 2.0 frame one byte at a time into a caller's buffer: start byte at 0, data
// from 1, ETX stored as well. A request (after its 0x7F) parses the same way, G being its
// start byte. Errors do not stop the reception; the checksum byte, ACK/NAK/CAN before any
// stored byte, a time-out or a full buffer do.
class VrxParser {
public:
    VrxParser(uint8_t* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

    bool WantsByte();  // false once done; sets -4 when the next stored byte would not fit
    void Push(uint8_t byte);
    void NoByte();     // the read timed out

    bool Done() const { return state_ == State::Done; }
    int Error() const { return error_; }
    int AnswerLength() const { return answerLength_; }  // start byte + data before ETX
    int Stored() const { return stored_; }
    int RawCount() const { return rawCount_; }

private:
    enum class State { Start, Data, Partner, Checksum, Done };
    void StoreData(uint8_t byte);

    uint8_t* buffer_;
    int capacity_;
    State state_ = State::Start;
    int stored_ = 0;
    int rawCount_ = 0;
    int error_ = 0;
    int answerLength_ = 0;
    uint8_t lastData_ = 0;
    uint8_t checksum_ = 0;
};
