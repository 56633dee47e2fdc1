#pragma once
// SIGTERM and SIGINT end the program through its ordinary close path. They are blocked in every
// thread (BloqueiaSinaisTermino runs before any thread exists; threads inherit the mask) and read
// from a descriptor in the event loop, so no thread of the database engine is ever interrupted in
// the middle of its work.
#include <QObject>

#include <functional>

void BloqueiaSinaisTermino();
// `aoReceber` runs in `dono`'s event loop once per batch of signals; raises EErro when the
// descriptor cannot be made.
void InstalaSinaisTermino(QObject* dono, std::function<void()> aoReceber);
