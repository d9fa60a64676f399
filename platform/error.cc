#include "platform/error.h"

namespace nx {

namespace {

std::string WhatText(uint32_t code, const std::string& context) {
  std::string message = SystemMessage(code);
  return context.empty() ? message : context + ": " + message;
}

}  // namespace

OsError::OsError(uint32_t code, const std::string& context)
    : std::runtime_error(WhatText(code, context)), code_(code), context_(context) {}

}  // namespace nx
