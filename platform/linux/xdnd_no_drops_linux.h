#pragma once

struct GLFWwindow;

namespace platform::desktop {

// The program takes no drops. The toolkit announces every window as a drop
// target and answers drop messages itself, reading properties of whatever
// window a message names; this withdraws the announcement and discards the
// messages a drag source sends to a target before the toolkit sees them. The
// messages a target sends back to a drag source still arrive.
void RefuseDrops(GLFWwindow* window);

}  // namespace platform::desktop
