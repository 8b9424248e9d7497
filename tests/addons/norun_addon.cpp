// Test add-on "norun": has its free entry but no RunModule_NORUN.
extern "C" int FreeMem_NORUN(char* reply) { return reply == nullptr ? 1 : 0; }
