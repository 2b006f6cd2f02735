#pragma once
// The HTTP(S) front of the service: routes requests to the booking logic or
// the control endpoints, logs them, and adds latency and faults.
#include <cstdint>
#include <memory>
#include <string>

#include "after_faults.h"
#include "booking_service.h"
#include "faults.h"
#include "options.h"
#include "request_log.h"

namespace httplib {
class Server;
struct Request;
struct Response;
class ContentReader;
}  // namespace httplib

namespace quillet::sim {

class SimServer {
 public:
  SimServer(const Options& options, BookingService& service);
  ~SimServer();

  // Creates the server and binds it; false with a message and the exit
  // code (2 for unusable TLS files, 1 when the address cannot be bound).
  bool Bind(std::string& error, int& exitCode);
  // "http://HOST:PORT" (https with TLS).
  std::string Url() const;
  // Serves until Stop().
  void Run();
  void Stop();

 private:
  void Serve(const httplib::Request& request, httplib::Response& response);
  // Reads a body (within its limit) and serves the request with it.
  void ServeWithBody(const httplib::Request& request, httplib::Response& response,
                     const httplib::ContentReader& reader);
  // The answer of the service, or the fault that replaces it.
  void Answer(const httplib::Request& request, const std::string& rawQuery, std::int64_t receivedMs,
              httplib::Response& response);
  void ServeControl(const httplib::Request& request, const std::string& path, httplib::Response& response);
  void LogRequest(const httplib::Request& request, const std::string& path, const std::string& query,
                  std::int64_t arrivedMs);
  void SetSale(const httplib::Request& request, httplib::Response& response);
  void ArmFault(const httplib::Request& request, httplib::Response& response);

  Options options_;
  BookingService& service_;
  RequestLog log_;
  FaultPicker faults_;
  AfterEffectFaults afterFaults_;  // armed with POST /sim/fault
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
};

}  // namespace quillet::sim
