#include "demo.h"

int main() {
    return runProgram();
}
