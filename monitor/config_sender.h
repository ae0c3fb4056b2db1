// Sending the monitoring configuration to the server.
#pragma once

void send_monitoring_config();
