// libpulse recycles its packets and memory blocks through lock-free lists
// built on atomics inside the library, which is not instrumented, so a block
// reused by another of its threads looks like a race to the detector. Only
// the library's own reading, copying and packing functions are named, none of
// which calls back into our code: a race with our callbacks, which the library
// calls from its loop, still shows.
extern "C" const char* __tsan_default_suppressions() {
    return "race:^pa_iochannel_read_with_ancil_data$\n"
           "race:^pa_srbchannel_read$\n"
           "race:^pa_packet_new_data$\n"
           "race:^pa_tagstruct_\n"
           "race:^pa_mutex_\n";
}
