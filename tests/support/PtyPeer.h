#pragma once
// The far end of a pseudo-terminal for tests and benchmarks: the port opens the slave by the
// name PortName() gives ("pts/N"); the test reads and writes the master, scripted on a thread.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    const std::string& PortName() const { return portName_; }  // "pts/N"
    int MasterFd() const { return master_; }

    // Reads until `terminator` arrived (kept) or `timeoutMs` passed without it.
    std::vector<uint8_t> ReadUntil(uint8_t terminator, int timeoutMs);
    // Reads `count` bytes or what came within `timeoutMs`.
    std::vector<uint8_t> ReadCount(size_t count, int timeoutMs);
    bool Write(const std::vector<uint8_t>& bytes);

    // Runs `script` on its own thread; Join() (or the destructor) waits for it.
    void Run(std::function<void(PtyPeer&)> script);
    void Join();

private:
    template <class Done>
    std::vector<uint8_t> ReadWhile(int timeoutMs, Done done);

    int master_ = -1;
    std::string portName_;
    std::thread script_;
};
