// A TCP port the system just handed out and took back: free for a child
// process to bind (tests run in parallel, so fixed ports are remapped to these).
#pragma once

int FreeTcpPort();
