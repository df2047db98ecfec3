#include "collection/collectiongroupingbox.h"

#include <QLabel>
#include <QLayout>

CollectionGroupingBox::CollectionGroupingBox(QLabel *replaced) : QComboBox(replaced->parentWidget())
{
    setObjectName(QStringLiteral("collectionGrouping"));
    // In the order of CollectionIndex::Grouping.
    addItems({tr("Artist"), tr("Album artist"), tr("Genre"), tr("Composer"), tr("Year")});
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    if (QLayout *layout = replaced->parentWidget()->layout())
        delete layout->replaceWidget(replaced, this);
    replaced->hide();
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int grouping) { emit groupingChosen(CollectionIndex::Grouping(grouping)); });
}
