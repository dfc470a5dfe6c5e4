/* Linked into the sanitizer builds' programs only: libraries stay loaded
   until the process ends, so that a leak inside a library that the GL
   driver, SDL or the toolkit loads and unloads (the GL driver at the
   context's end, SDL's sound back-ends) is reported under the library's
   name, where a suppression can name it, instead of "<unknown module>". */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
