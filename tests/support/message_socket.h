// A socket that keeps each write(2) to its sending end a message of its own,
// read as it comes: what a program sent, and in how many writes. Room for
// what it reads is taken up front, so reading takes no memory meanwhile.
#pragma once

#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kovo::testing {

class MessageSocket {
 public:
  MessageSocket() {
    bytes_.reserve(1 << 20);
    ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends_);
    reader_ = std::thread([this] { Read(); });
  }
  ~MessageSocket() {
    Finish();
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  int SendingEnd() const { return ends_[0]; }
  // Everything sent, once nothing more is: it shuts the sending end.
  const std::string& Finish() {
    if (reader_.joinable()) {
      ::shutdown(ends_[0], SHUT_WR);
      reader_.join();
    }
    return bytes_;
  }
  std::size_t Writes() const { return writes_; }

 private:
  void Read() {
    char message[1 << 16];
    for (ssize_t n; (n = ::recv(ends_[1], message, sizeof message, 0)) > 0; ++writes_)
      bytes_.append(message, static_cast<std::size_t>(n));
  }

  int ends_[2] = {-1, -1};
  std::string bytes_;
  std::size_t writes_ = 0;
  std::thread reader_;
};

}  // namespace kovo::testing
