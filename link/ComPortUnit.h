#pragma once
// The serial channel to the controller: frames requests, reads answers byte by byte
// and keeps the error state of the last exchange. Public fields and signatures are fixed.
#include <cstdint>
#include <string>

class TECOMPort {
public:
    uint8_t LastCommand = 0;
    bool Sending = false;
    uint8_t Buffer[1026] = {};
    int32_t AnswerLength = 0;
    std::string PortName, ResultText;
    int32_t Error = 0;

    int  Open();
    void Close();
    void SetReadTimeout(uint32_t ms);
    void SetBitRate(int rate);
    int  GetBitRate();
    void Send(const uint8_t* buf, int length);
    void SendBuffer(int length);
    int  Receive(uint8_t* buf, int capacity);
    int  ReceiveBuffer();
    void Exchange(uint8_t* buf, int length);
    void ExchangeBuffer(int length);
    void ReportWrongLength(int required);
    void SendVrx(const uint8_t* buf, int n);
    int  ReceiveVrx(uint8_t* buf, int capacity);
};

extern TECOMPort ComPort;
