#pragma once
// Where the station is on the system bus: the service owns the name and exports the object; the
// clients (linkorctl, the window) find it there. The interface is versioned: an incompatible
// change is a new interface beside this one.
#include <QString>

inline const QString kNomeBarramento = QStringLiteral("br.com.linkor.Posto");
inline const QString kCaminhoPosto = QStringLiteral("/br/com/linkor/Posto");
inline const QString kInterfacePosto = QStringLiteral("br.com.linkor.Posto1");
// The group whose members (and root) the bus lets talk to the service.
inline const QString kGrupoOperadores = QStringLiteral("linkor");
// The error an operator's step answers with when it did not do everything asked; its message is
// the operator's.
inline const QString kErroPosto = QStringLiteral("br.com.linkor.Posto1.Erro");
