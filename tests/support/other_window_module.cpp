// A window module of another launcher, put beside the launcher in its
// place: OTHER_INTERFACE builds one that knows no interface version the
// launcher asks for, otherwise one of the same interface from another
// build, whose build id holds a terminal's escape as a stranger's might.
// Neither is ever run.
extern "C" {

struct OtherWindowModule {
  int abi_version;
  const char* build_id;
  void* open_display;
  void* run_dialog;
};

__attribute__((visibility("default"))) const OtherWindowModule* setup_launcher_gtk_entry(int abi_version) {
#ifdef OTHER_INTERFACE
  (void)abi_version;
  return nullptr;
#else
  static OtherWindowModule module{0, "0000\x1B]0;x\a0000", nullptr, nullptr};
  module.abi_version = abi_version;
  return &module;
#endif
}
}
