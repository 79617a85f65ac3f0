#pragma once

#include "message/messagehandler.h"

#include <string>

namespace testing_support {

// The smallest concrete component: counts initialise messages and lets a test
// register whatever handlers it likes.
class ProbeHandler : public LCD::Message::MessageHandler
{
public:
    explicit ProbeHandler(std::string componentName = "probe") { name = std::move(componentName); }

    void onInit() override { ++inits; }

    int inits = 0;
};

} // namespace testing_support
