#pragma once

// "Keys changed, reload them": the bus interface's reload signal, from the command line to a
// running app, which listens through the interface's proxy with any sender.
namespace ReloadNotice {
// Sends the notice without waiting for an answer; one round trip to the bus makes sure it left.
// Without a session bus there is no running app to tell, so nothing happens.
void post();

// Makes sure a message sent on the session bus has left before this process exits.
void flushSessionBus();
} // namespace ReloadNotice
