#pragma once
// One Linkor per station and per serial port: a lock the operating system drops when its holder
// dies, so a power cut or a killed process never leaves a station locked out. The locks live on
// the station's own folder and on the device itself, which only Linkor's accounts (the group
// linkor, and dialout for the port) may open: no shared, world-writable lock folder another user
// could fill first, and no setting that could make two instances look in different places.
#include "Erro.h"

#include <QString>

// Raised when another Linkor already holds the station or the port. Refused before anything was
// changed, so the failure path must not write it to the station's error log either: that log is
// the other instance's.
class EOutraInstancia : public EErro {
public:
    using EErro::EErro;
};

class TTravaInstancia {
public:
    TTravaInstancia() = default;
    ~TTravaInstancia() { Libera(); }
    TTravaInstancia(const TTravaInstancia&) = delete;
    TTravaInstancia& operator=(const TTravaInstancia&) = delete;

    // Locks the station folder `pasta` through its lock file (ArquivoDoPosto) without waiting:
    // true when it is ours, false when another holder (another process, or another
    // TTravaInstancia in this one) has it. Raises EErro when the file cannot be made or opened, or
    // when something other than a plain file (a planted link) stands in its place.
    bool AdquirePosto(const QString& pasta);
    // Locks the device `caminho` on a descriptor of its own: false when another Linkor holds it.
    // Raises EErro with the system's reason when the device cannot be opened, and EOutraInstancia
    // when another program holds it exclusively.
    bool AdquireDispositivo(const QString& caminho, const QString& nomePorta);
    void Libera();
    bool Adquirida() const { return FDescritor >= 0; }

    // The station's lock file. It stays after its holder lets go: removing it would let a second
    // instance lock a file that is about to vanish while a third makes a new one.
    static QString ArquivoDoPosto(const QString& pasta);

private:
    bool Trava(int descritor);
    int FDescritor = -1;
};

// Takes the station's lock (its folder) into `trava`; raises EOutraInstancia with the operator's
// message when another Linkor serves that folder.
void TravaPosto(TTravaInstancia& trava, const QString& pasta);
// Takes the lock of the serial device `dispositivo` into `trava`; raises EOutraInstancia naming
// the port when another Linkor uses it, EErro naming the device and the reason when it cannot be
// opened (missing, no permission).
void TravaPorta(TTravaInstancia& trava, const QString& dispositivo, const QString& nomePorta);
