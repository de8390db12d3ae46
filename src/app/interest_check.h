// The report's last section: whether each port-transport service accepts a
// general-interest and a busy-interest notification registration.
#ifndef PORTPROBE_APP_INTEREST_CHECK_H
#define PORTPROBE_APP_INTEREST_CHECK_H

#include "platform/registry_api.h"

void checkInterestNotifications(mach_port_t mainPort);

#endif
