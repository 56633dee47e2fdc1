#pragma once
// The clock, the program's folders and the blocking sleep: one seam so tests fix date, time and
// places. The base class is the system's own.
#include <QDateTime>
#include <QString>

class TRelogio {
public:
    // `pastaPosto` is the station folder named at start-up (see LeOpcoesPrograma); empty keeps
    // every file where a copied folder has it: beside the executable and in the current folder.
    explicit TRelogio(QString pastaPosto = {});
    virtual ~TRelogio() = default;
    virtual QDateTime Agora() const;
    // Where the logs, TankoraECF.INI and the instance lock live, with its trailing separator: the
    // station folder when one is named, else the folder of the running executable.
    virtual QString PastaExecutavel() const;
    // Where Caminho.ini is read, with its trailing separator: the station folder when one is
    // named, else the process's current folder.
    virtual QString PastaAtual() const;
    // Blocks the thread; nothing is repainted meanwhile.
    virtual void Dorme(int milissegundos) const;

private:
    QString FPastaPosto;
};
