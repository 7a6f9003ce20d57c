#pragma once
// Installs what a camera's login does beyond the session itself: read its solutions, current
// solution and resources, fetch its resource package (on the login worker), then create the
// vision objects on the main thread. Call once at start-up (tests too).
class KxDeviceConnector;
class KxVisionSolution;
class KxVisionResource;
class KxDeviceResource;

namespace KxVisionLogin {
void install();
// The vision objects of a logged-in camera; null otherwise.
KxVisionSolution *solution(const KxDeviceConnector *connector);
KxVisionResource *resource(const KxDeviceConnector *connector);
KxDeviceResource *deviceResource(const KxDeviceConnector *connector);
}  // namespace KxVisionLogin
