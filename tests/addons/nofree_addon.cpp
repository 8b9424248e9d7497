// Test add-on "nofree": has its run entry but no FreeMem_NOFREE.
extern "C" int RunModule_NOFREE(const char*, const char*, const char*, char** reply) {
  *reply = nullptr;
  return 1;
}
