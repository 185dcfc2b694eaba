#pragma once

// The eight pictures of the grid's "Out" column and of the schema: blank, arrows up,
// right and down, and the four terminal kinds. Drawn once, small and plain.

#include <QPixmap>

#include <array>

namespace valmora {

enum class GridIcon { Nulla, FrecciaSu, FrecciaDx, FrecciaGiu, Idrante, Naspo, SuperIdr, Ugello };

class GridIcons {
public:
    GridIcons();
    const QPixmap& picture(GridIcon icon) const { return pictures_[std::size_t(icon)]; }
    // The picture of a terminal type's icon index (1 hydrant, 2 hose reel, 3 super
    // hydrant, 4 nozzle); a null picture for any other value.
    QPixmap terminalPicture(int iconIndex) const;
    // The resource names: "nulla", "frecciasu", ...
    static QString name(GridIcon icon);

private:
    std::array<QPixmap, 8> pictures_;
};

} // namespace valmora
