// TForm1 and its file commands and bookmarks.
#include "ui/tform1.h"

#include "ui/bookmarks.h"
#include "ui/dragdrop.h"
#include "ui/filecommands.h"
#include "ui/systemdesktopservices.h"

void TForm1::attachFileCommands()
{
    m_systemServices = std::make_unique<SystemDesktopServices>();
    m_fileCommands = new FileCommands(this, m_systemServices.get(), this);
    m_bookmarks = new Bookmarks(this, m_engine, this);
    m_dragDrop = new DragDrop(this, m_engine, this);
}

void TForm1::setDesktopServices(DesktopServices *services)
{
    m_fileCommands->setDesktopServices(services ? services : m_systemServices.get());
}
