#pragma once
// What SpringBoard keeps for the whole process: the iOS major version its classes were
// registered for and the shared instances that `sharedInstance` class methods answer
// (one per class, made with alloc/init on first request). registerSpringBoardClasses()
// starts it afresh. Touched from the main thread only.

#include "Object.h"

#include <string>
#include <unordered_map>

struct SpringBoardState {
    int iosMajor { 0 };
    std::unordered_map<std::string, id> sharedInstances;

    static SpringBoardState& shared();
    static void reset(int iosMajor);
    // The shared instance of the class (a class object), made when first asked for.
    static id sharedInstanceOf(const id& cls);
    static id sharedInstanceOf(const char* className);
};
