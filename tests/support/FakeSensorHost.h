#pragma once
// A sensor host on loopback that answers every valid request with the six channel texts it
// is given, for readings the simulated chip never sends (a channel without a value), or,
// silent, takes requests and never answers.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class FakeSensorHost {
public:
    explicit FakeSensorHost(const std::vector<std::string>& fields);
    ~FakeSensorHost();
    FakeSensorHost(const FakeSensorHost&) = delete;
    FakeSensorHost& operator=(const FakeSensorHost&) = delete;

    // "127.0.0.1:PORT", for HostName.
    std::string HostText() const;
    // Field i of the next answers; an empty text is sent as an empty (all NUL) field.
    void SetField(int i, const std::string& text);
    void SetSilent(bool bSilent) { m_bSilent = bSilent; }
    int Requests() const { return m_nRequests; }
    int Answered() const { return m_nAnswered; }

private:
    void Serve();

    std::mutex m_mutex;
    std::vector<std::string> m_fields;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSilent{false};
    std::atomic<int> m_nRequests{0};
    std::atomic<int> m_nAnswered{0};
    unsigned long long m_socket;
    int m_nPort = 0;
    std::thread m_thread;
};

}  // namespace wintest
