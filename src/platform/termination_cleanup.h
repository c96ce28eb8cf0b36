#pragma once

namespace platform {

// Makes SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) end the
// process without leaving the temporary files of writes under way behind: the
// signals are blocked in the calling thread, and so in every thread it starts later,
// and taken by a thread of their own, which removes the files and then ends the
// process by the same signal. To be called before any other thread starts; false
// when the signals could not be taken over (they then act as before).
bool removeTemporaryFilesOnTermination();

}  // namespace platform
