#pragma once
// Feeds the station published on the bus from the engine: the day's log and each fueling line as
// the pane gets them, and the engine's state (status, notice, journal counts, interval, tag mode)
// taken on the engine's own thread and handed over, queued, only when it changed, so an idle tick
// costs a comparison and the bus never reaches into the engine.
#include "PostoPublicado.h"

class TLinkor;

class TPublicacaoMotor {
public:
    // Before the engine's thread starts; both must outlive it.
    TPublicacaoMotor(TLinkor& linkor, TPostoPublicado& posto);
    TPublicacaoMotor(const TPublicacaoMotor&) = delete;
    TPublicacaoMotor& operator=(const TPublicacaoMotor&) = delete;

    // On the engine's thread: after every tick, status or notice change by itself; after start-up
    // and after an operator's step by whoever runs them.
    void Observa();

private:
    TLinkor& FLinkor;
    TPostoPublicado& FPosto;
    TPostoPublicado::TEstado FUltimo; // the engine's thread alone
    bool FAlgumPublicado = false;
};
