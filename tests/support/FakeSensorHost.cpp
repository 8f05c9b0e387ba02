#include "FakeSensorHost.h"

#include <winsock2.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "qrvl/Wire.h"

namespace wintest {

namespace wire = qrvl::wire;

FakeSensorHost::FakeSensorHost(const std::vector<std::string>& fields) : m_fields(fields) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof addr;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        throw std::runtime_error("fake sensor host: no loopback socket");
    m_socket = s;
    m_nPort = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FakeSensorHost::~FakeSensorHost() {
    m_bStop = true;
    m_thread.join();
    closesocket(static_cast<SOCKET>(m_socket));
    WSACleanup();
}

std::string FakeSensorHost::HostText() const { return "127.0.0.1:" + std::to_string(m_nPort); }

void FakeSensorHost::SetField(int i, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fields[i] = text;
}

void FakeSensorHost::Serve() {
    const SOCKET s = static_cast<SOCKET>(m_socket);
    while (!m_bStop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, 50000};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
        std::uint8_t request[wire::kRequestSize + 1];
        sockaddr_in from = {};
        int fromLength = sizeof from;
        int n = recvfrom(s, reinterpret_cast<char*>(request), sizeof request, 0, reinterpret_cast<sockaddr*>(&from),
                         &fromLength);
        if (n < 0 || wire::checkRequest(request, static_cast<size_t>(n)) != wire::RequestCheck::Valid) continue;
        ++m_nRequests;
        if (m_bSilent) continue;
        std::uint8_t record[wire::kRecordSize] = {};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (size_t i = 0; i < m_fields.size() && i < 6; ++i)
                std::memcpy(record + 8 * i, m_fields[i].data(), std::min<size_t>(m_fields[i].size(), 7));
        }
        std::uint8_t response[wire::kResponseSize];
        wire::encodeResponse(wire::requestSequence(request), wire::kStatusReading, record, response);
        sendto(s, reinterpret_cast<const char*>(response), sizeof response, 0, reinterpret_cast<sockaddr*>(&from),
               fromLength);
        ++m_nAnswered;
    }
}

}  // namespace wintest
