#pragma once

namespace velboot {

class PortBackend;
class Clock;
class MessagePump;
class UserInteraction;

// The four seams through which the core reaches the outside world.
struct LinkEnvironment {
  PortBackend& ports;
  Clock& clock;
  MessagePump& pump;
  UserInteraction& ui;
};

}  // namespace velboot
