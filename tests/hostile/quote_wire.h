// The client side of the quote protocol as the hostile tests and the load benchmark speak it
// by hand over a plain socket.
#ifndef VQ_TESTS_HOSTILE_QUOTE_WIRE_H
#define VQ_TESTS_HOSTILE_QUOTE_WIRE_H

#include <string>

#include "protocol/messages.h"

namespace hostile {

// The hello a terminal sends first.
std::string clientHello();
// Reads from fd until a frame of `type` arrives, taking the server's hello off the front into
// `hello` first; false on close, timeout or a broken frame.
bool readUntilFrame(int fd, std::string& hello, vqp::FrameDecoder& decoder, vqp::Msg type);

}  // namespace hostile

#endif
