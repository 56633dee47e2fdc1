#pragma once
// The clock, the program's folders and the blocking sleep: one seam so tests fix date, time and
// places. The base class is the system's own.
#include <QDateTime>
#include <QString>

#include <memory>

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
    // Blocks the thread; nothing is repainted meanwhile. Returns early once Interrompe was called.
    virtual void Dorme(int milissegundos) const;
    // The program is stopping: a Dorme under way returns now and any later one at once. Callable
    // from any thread; for good.
    void Interrompe() const;
    bool Interrompido() const;

private:
    QString FPastaPosto;
    struct TInterrupcao;
    std::shared_ptr<TInterrupcao> FInterrupcao; // shared by copies
};
