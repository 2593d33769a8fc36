// Usage events posted to the analytics service over HTTPS.
#pragma once

// The start event of the post-install mode; true when it was sent.
bool SendAppOpenedEvent();
