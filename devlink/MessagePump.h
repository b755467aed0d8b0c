#pragma once

namespace velboot {

// Lets the front end handle its events (repaints, the Cancel button, Ctrl-C) while the core waits.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual void ProcessMessages() = 0;
};

class NoMessagePump final : public MessagePump {
 public:
  void ProcessMessages() override {}
};

}  // namespace velboot
