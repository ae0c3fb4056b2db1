// The short wait: a nested event loop that keeps the window alive for a moment.
#pragma once

void wait_with_events(int ms);
