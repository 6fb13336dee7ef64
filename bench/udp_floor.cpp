// trelvo-udp-floor: the physical floor under trelvo-dds-floor. It moves the same datagrams as the
// node's traffic with a vehicle, with plain UDP on loopback and nothing else: a vehicle process
// (forked) sends an odometry-sized datagram at the vehicle's 50 Hz, and this process takes what
// arrived and sends a command-sized datagram back at the node's 20 Hz. Its CPU share is what the
// machine's kernel takes for that traffic; beside the DDS floor's, what DDS adds to it.
//
//   trelvo-udp-floor   runs until SIGINT or SIGTERM, then prints one line and exits 0, or 1 when
//                      no command reached the vehicle:
//   udp floor: 540 cycles, 1350 odometry datagrams, 540 commands received; CPU 0.081 s in 27.0 s:
//   0.30 % of a core

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "common/real_time.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kCommandPeriod{50};   // trelvo-node's default rate
constexpr std::chrono::milliseconds kOdometryPeriod{20};  // trelvo-sim --dds's odometry rate
// The RTPS datagrams of one sample each on loopback: headers, an info timestamp and the DATA
// submessage with its CDR payload (an Odometry with both covariances, a Twist).
constexpr std::size_t kOdometryBytes = 780;
constexpr std::size_t kCommandBytes = 108;

void fail(const char* what) {
  throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// A non-blocking UDP socket on a free port of the loopback interface.
int loopbackSocket(sockaddr_in& address) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    fail("socket");
  }
  address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    fail("bind");
  }
  return fd;
}

// Takes every datagram that arrived; returns how many.
long drain(int fd) {
  char buffer[2048];
  long count = 0;
  while (recv(fd, buffer, sizeof(buffer), 0) >= 0) {
    ++count;
  }
  return count;
}

void send(int fd, const sockaddr_in& to, std::size_t bytes) {
  static const char payload[kOdometryBytes] = {};
  sendto(fd, payload, bytes, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}

// The vehicle: odometry out at its rate until stopped; then it writes how many commands it
// received into `report`.
[[noreturn]] void runVehicle(int fd, const sockaddr_in& controller, int report) {
  const auto& stop = common::stopOnSignals();
  long commands = 0;
  auto deadline = Clock::now();
  while (!stop) {
    commands += drain(fd);
    send(fd, controller, kOdometryBytes);
    deadline += kOdometryPeriod;
    common::sleepUntil(deadline);
  }
  commands += drain(fd);
  (void)!write(report, &commands, sizeof(commands));
  _exit(0);
}

}  // namespace

int main() {
  try {
    const auto& stop = common::stopOnSignals();
    sockaddr_in controllerAddress{};
    sockaddr_in vehicleAddress{};
    const int controllerSocket = loopbackSocket(controllerAddress);
    const int vehicleSocket = loopbackSocket(vehicleAddress);
    int report[2];
    if (pipe(report) != 0) {
      fail("pipe");
    }
    const pid_t vehicle = fork();
    if (vehicle < 0) {
      fail("fork");
    }
    if (vehicle == 0) {
      runVehicle(vehicleSocket, controllerAddress, report[1]);
    }

    const auto started = Clock::now();
    const double cpuStarted = common::processCpuSeconds();
    long cycles = 0;
    long odometry = 0;
    auto deadline = started;
    while (!stop) {
      odometry += drain(controllerSocket);
      send(controllerSocket, vehicleAddress, kCommandBytes);
      ++cycles;
      deadline += kCommandPeriod;
      common::sleepUntil(deadline);
    }
    const double cpu = common::processCpuSeconds() - cpuStarted;
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();

    kill(vehicle, SIGTERM);
    long received = 0;
    const bool reported = read(report[0], &received, sizeof(received)) == sizeof(received);
    waitpid(vehicle, nullptr, 0);
    std::printf(
        "udp floor: %ld cycles, %ld odometry datagrams, %ld commands received; CPU %.3f s in "
        "%.1f s: %.2f %% of a core\n",
        cycles, odometry, received, cpu, wall, 100.0 * cpu / wall);
    if (!reported || received == 0) {
      std::fprintf(stderr, "trelvo-udp-floor: no command reached the vehicle\n");
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "trelvo-udp-floor: %s\n", error.what());
    return 1;
  }
}
