#pragma once
// The clock, the program's folders and the blocking sleep: one seam so tests fix date, time and
// places. The base class is the system's own.
#include <QDateTime>
#include <QString>

class TRelogio {
public:
    virtual ~TRelogio() = default;
    virtual QDateTime Agora() const;
    // Folder of the running executable, with its trailing separator.
    virtual QString PastaExecutavel() const;
    // The process's current folder, with its trailing separator.
    virtual QString PastaAtual() const;
    // Blocks the thread; nothing is repainted meanwhile.
    virtual void Dorme(int milissegundos) const;
};
