#pragma once
// One Linkor per station and per serial port: a lock the operating system drops when its holder
// dies, so a power cut or a killed process never leaves a station locked out.
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

    // Takes the lock named by `chave` without waiting: true when it is ours, false when another
    // holder (another process, or another TTravaInstancia in this one) has it. Raises EErro when no
    // lock file can be made at all. Taking a second key releases the first.
    bool Adquire(const QString& chave);
    void Libera();
    bool Adquirida() const { return FDescritor >= 0; }

    // The keys: a station folder and a device, each by its canonical path when it exists, so two
    // spellings of one place are one key.
    static QString ChavePosto(const QString& pasta);
    static QString ChaveDispositivo(const QString& caminho);

    // Where the lock files live: LINKOR_PASTA_TRAVAS when set, else /run/lock (every user may
    // write there), else /var/lock, else the system's temporary folder.
    static QString PastaTravas();
    // The lock file of a key inside PastaTravas().
    static QString ArquivoDaChave(const QString& chave);

private:
    int FDescritor = -1;
    QString FArquivo;
};

// Takes the station's lock (its folder) into `trava`; raises EOutraInstancia with the operator's
// message when another Linkor serves that folder.
void TravaPosto(TTravaInstancia& trava, const QString& pasta);
// Takes the lock of the serial device `dispositivo` into `trava`; raises EOutraInstancia naming
// the port when another Linkor uses it.
void TravaPorta(TTravaInstancia& trava, const QString& dispositivo, const QString& nomePorta);
