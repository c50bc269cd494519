#pragma once

// CPU seconds used so far by the process and by the calling thread.
double process_cpu_seconds();
double thread_cpu_seconds();
