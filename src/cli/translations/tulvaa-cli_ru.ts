<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>AccountFile</name>
    <message>
        <source>the file is larger than %1 MiB: it is no client list.</source>
        <translation>файл больше %1 МиБ, это не список клиентов.</translation>
    </message>
    <message>
        <source>the file starts with a UTF-8 byte order mark; the list must be Windows-1251 text without one.</source>
        <translation>файл начинается с метки порядка байтов UTF-8; нужен текст в кодировке Windows-1251 без неё.</translation>
    </message>
    <message>
        <source>the file is UTF-16 text; the list must be Windows-1251 text.</source>
        <translation>файл в кодировке UTF-16; нужен текст в кодировке Windows-1251.</translation>
    </message>
    <message>
        <source>the line holds a zero byte.</source>
        <translation>в строке нулевой байт.</translation>
    </message>
    <message>
        <source>the line is UTF-8 text; the list must be Windows-1251 text.</source>
        <translation>строка в кодировке UTF-8; нужен текст в кодировке Windows-1251.</translation>
    </message>
    <message>
        <source>the list does not end with the line &quot;*****&quot;.</source>
        <translation>список не кончается строкой «*****».</translation>
    </message>
    <message>
        <source>the list holds no client.</source>
        <translation>в списке нет ни одного клиента.</translation>
    </message>
    <message>
        <source>nothing may follow the line &quot;*****&quot; that ends the list.</source>
        <translation>после строки «*****», которой кончается список, ничего быть не должно.</translation>
    </message>
    <message>
        <source>the list breaks off inside a client: each client has three lines, the name, the password and the line of INI files.</source>
        <translation>список обрывается внутри клиента: у каждого клиента три строки — имя, пароль и строка ini-файлов.</translation>
    </message>
    <message>
        <source>this is no line of INI files: it is empty or holds entries &quot;C=name; &quot; in the order C, R, B, M, K, A.</source>
        <translation>это не строка ini-файлов: она пуста или состоит из записей «C=имя; » в порядке C, R, B, M, K, A.</translation>
    </message>
</context>
<context>
    <name>CliArgs</name>
    <message>
        <source>Show the server&apos;s version and its number of clients.</source>
        <translation>Показать версию сервера и число его клиентов.</translation>
    </message>
    <message>
        <source>List the server&apos;s databases with their descriptions.</source>
        <translation>Вывести список баз данных сервера с их описаниями.</translation>
    </message>
    <message>
        <source>Reads the server&apos;s database list (the file named by DBNNAMECAT of the profile).</source>
        <translation>Читает список баз данных сервера (файл, названный параметром DBNNAMECAT профиля).</translation>
    </message>
    <message>
        <source>Show the statistics of database DB.</source>
        <translation>Показать статистику базы данных DB.</translation>
    </message>
    <message>
        <source>Prints the rows of the workstation&apos;s statistics grid: name, description, max MFN, lock
flag and the numbers of locked, deleted and unactualized records.</source>
        <translation>Выводит строки таблицы статистики АРМ: имя, описание, максимальный MFN, признак блокировки
и числа заблокированных, удалённых и неактуализированных записей.</translation>
    </message>
    <message>
        <source>List the server&apos;s processes.</source>
        <translation>Вывести список процессов сервера.</translation>
    </message>
    <message>
        <source>Prints the server&apos;s process list (command +3); row 1 is the server itself.</source>
        <translation>Выводит список процессов сервера (команда +3); строка 1 — сам сервер.</translation>
    </message>
    <message>
        <source>Stop process NUMBER of the process list.</source>
        <translation>Остановить процесс NUMBER из списка процессов.</translation>
    </message>
    <message>
        <source>List the clients registered at the server now.</source>
        <translation>Вывести список клиентов, зарегистрированных на сервере сейчас.</translation>
    </message>
    <message>
        <source>Prints the server&apos;s request counter and the registered clients (command +1).</source>
        <translation>Выводит счётчик запросов сервера и зарегистрированных клиентов (команда +1).</translation>
    </message>
    <message>
        <source>Remove the registration of client ID.</source>
        <translation>Снять регистрацию клиента ID.</translation>
    </message>
    <message>
        <source>Sends command +6 with the client id (column &quot;Идентификатор&quot; of `clients`).</source>
        <translation>Посылает команду +6 с идентификатором клиента (столбец «Идентификатор» вывода `clients`).</translation>
    </message>
    <message>
        <source>Delete every record of database DB (needs --yes).</source>
        <translation>Удалить все записи базы данных DB (нужен --yes).</translation>
    </message>
    <message>
        <source>Sends the clear request (command S). Destructive: needs --yes.</source>
        <translation>Посылает запрос очистки (команда S). Необратимо: нужен --yes.</translation>
    </message>
    <message>
        <source>Actualize the unactualized records of database DB.</source>
        <translation>Актуализировать неактуализированные записи базы данных DB.</translation>
    </message>
    <message>
        <source>Does nothing when DB has no unactualized records; refuses a locked database.</source>
        <translation>Ничего не делает, если в DB нет неактуализированных записей; заблокированную базу данных
не актуализирует.</translation>
    </message>
    <message>
        <source>Unlock database DB.</source>
        <translation>Разблокировать базу данных DB.</translation>
    </message>
    <message>
        <source>Does nothing when DB is not locked; reads the lock flag again afterwards.</source>
        <translation>Ничего не делает, если DB не заблокирована; после разблокировки снова читает признак
блокировки.</translation>
    </message>
    <message>
        <source>Unlock the records MFN... of database DB.</source>
        <translation>Разблокировать записи MFN... базы данных DB.</translation>
    </message>
    <message>
        <source>Sends the MFNs in the order given (command Q).</source>
        <translation>Посылает MFN в заданном порядке (команда Q).</translation>
    </message>
    <message>
        <source>Build the dictionary of DB anew; wait, print the job&apos;s log.</source>
        <translation>Создать словарь DB заново; дождаться конца, вывести протокол.</translation>
    </message>
    <message>
        <source>Starts the server job TULVA_CREATE_DICT, waits until it leaves the process list, then
prints the job&apos;s result log.</source>
        <translation>Запускает на сервере процесс TULVA_CREATE_DICT, ждёт, пока он не исчезнет из списка
процессов, и выводит протокол его выполнения.</translation>
    </message>
    <message>
        <source>Reorganize the dictionary of DB; wait, print the log.</source>
        <translation>Реорганизовать словарь DB; дождаться конца, вывести протокол.</translation>
    </message>
    <message>
        <source>Starts the server job TULVA_RELOAD_DICT, waits until it leaves the process list, then
prints the job&apos;s result log.</source>
        <translation>Запускает на сервере процесс TULVA_RELOAD_DICT, ждёт, пока он не исчезнет из списка
процессов, и выводит протокол его выполнения.</translation>
    </message>
    <message>
        <source>Reorganize the master file of DB; wait, print the log.</source>
        <translation>Реорганизовать файл документов DB; дождаться конца, вывести протокол.</translation>
    </message>
    <message>
        <source>Create database NAME; wait, print the log.</source>
        <translation>Создать базу данных NAME; дождаться конца, вывести протокол.</translation>
    </message>
    <message>
        <source>Delete database NAME (needs --yes); wait, print the log.</source>
        <translation>Удалить базу данных NAME (нужен --yes); дождаться конца, вывести протокол.</translation>
    </message>
    <message>
        <source>Write the server&apos;s client accounts to FILE.</source>
        <translation>Записать учётные записи клиентов сервера в файл FILE.</translation>
    </message>
    <message>
        <source>Replace the server&apos;s client accounts with FILE (needs --yes).</source>
        <translation>Заменить учётные записи клиентов сервера содержимым FILE (нужен --yes).</translation>
    </message>
    <message>
        <source>Restart the server (needs --yes).</source>
        <translation>Перезапустить сервер (нужен --yes).</translation>
    </message>
    <message>
        <source>Sends the restart request (command +8). Needs --yes.</source>
        <translation>Посылает запрос перезапуска (команда +8). Нужен --yes.</translation>
    </message>
    <message>
        <source>List the saved servers that --server NAME accepts.</source>
        <translation>Вывести список сохранённых серверов, которые принимает --server NAME.</translation>
    </message>
    <message>
        <source>Print the server&apos;s figures for Prometheus (--output FILE).</source>
        <translation>Вывести показатели сервера для Prometheus (--output FILE).</translation>
    </message>
    <message>
        <source>Monitoring plugin: test FIGURE against --warning/--critical.</source>
        <translation>Плагин мониторинга: сравнить показатель FIGURE с --warning/--critical.</translation>
    </message>
    <message>
        <source>a saved server (see `servers`, its SSH tunnel included) or an
address (default: ServerIP and ServerPort of the settings file)</source>
        <translation>сохранённый сервер (см. `servers`, вместе с его SSH-туннелем) или
адрес (по умолчанию ServerIP и ServerPort файла настроек)</translation>
    </message>
    <message>
        <source>user name (default: USERNAME, else CLIENTNAME of the settings file)</source>
        <translation>имя пользователя (по умолчанию USERNAME, иначе CLIENTNAME файла настроек)</translation>
    </message>
    <message>
        <source>settings file (default: Ctulvaa.ini of the current directory)</source>
        <translation>файл настроек (по умолчанию Ctulvaa.ini текущего каталога)</translation>
    </message>
    <message>
        <source>text|tsv|json (default text)</source>
        <translation>text|tsv|json (по умолчанию text)</translation>
    </message>
    <message>
        <source>longest wait for one answer of the server (default 120; 0: no limit)</source>
        <translation>наибольшее время ожидания одного ответа сервера (по умолчанию 120; 0: без предела)</translation>
    </message>
    <message>
        <source>longest wait for a job to end (default 0: no limit); when it passes,
the job is left running on the server and the exit status is 5</source>
        <translation>наибольшее время ожидания конца процесса (по умолчанию 0: без предела);
когда оно истекло, процесс остаётся работать на сервере, код завершения 5</translation>
    </message>
    <message>
        <source>largest answer taken from the server (default: MaxAnswerSize of the
settings file, else 1 GiB); a larger one is given up as a failure</source>
        <translation>наибольший принимаемый ответ сервера (по умолчанию MaxAnswerSize файла
настроек, иначе 1 ГиБ); больший ответ считается сбоем</translation>
    </message>
    <message>
        <source>confirm a destructive command (clear, delete-db, accounts import, restart)</source>
        <translation>подтвердить необратимую команду (clear, delete-db, accounts import, restart)</translation>
    </message>
    <message>
        <source>no progress on standard error</source>
        <translation>не показывать ход выполнения в стандартном потоке ошибок</translation>
    </message>
    <message>
        <source>create-db: create the database without a search dictionary</source>
        <translation>create-db: создать базу данных без словаря для поиска</translation>
    </message>
    <message>
        <source>metrics: replace FILE atomically instead of writing to standard output</source>
        <translation>metrics: атомарно заменить FILE вместо вывода в стандартный вывод</translation>
    </message>
    <message>
        <source>check: the range of the figure that gives WARNING</source>
        <translation>check: диапазон показателя, при котором состояние WARNING</translation>
    </message>
    <message>
        <source>check: the range of the figure that gives CRITICAL</source>
        <translation>check: диапазон показателя, при котором состояние CRITICAL</translation>
    </message>
    <message>
        <source>this help; COMMAND --help: the help of one command</source>
        <translation>эта справка; КОМАНДА --help: справка по одной команде</translation>
    </message>
    <message>
        <source>the help of every command</source>
        <translation>справка по всем командам</translation>
    </message>
    <message>
        <source>the version of tulvaa-cli</source>
        <translation>версия tulvaa-cli</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Параметры:</translation>
    </message>
    <message>
        <source>The password is read from the environment variable TULVA_PASSWORD, or asked for without
echo when standard input is a terminal; it is never taken from the command line.
Ctrl+C during a wait for the server sends the cancel message; while a job is waited for, it
stops the job (a deletion cannot be stopped). Either way the tool unregisters and exits.

Exit status: 0 done, 1 refused by the server (its return code on standard error), 2 connection
or exchange failure, 3 wrong usage (nothing changed), 4 the output could not be written (an
existing export file is left as it was), 5 the job still runs on the server after --job-timeout,
130 interrupted by Ctrl+C.
</source>
        <translation>Пароль берётся из переменной окружения TULVA_PASSWORD или, когда стандартный ввод — терминал,
запрашивается без отображения на экране; из командной строки он не принимается никогда.
Ctrl+C во время ожидания ответа сервера посылает сообщение отмены, а во время ожидания
процесса останавливает процесс (удаление остановить нельзя). В обоих случаях программа
снимает регистрацию и завершается.

Код завершения: 0 выполнено, 1 отказ сервера (его код возврата — в стандартном потоке ошибок),
2 сбой соединения или обмена, 3 неверный вызов (ничего не изменено), 4 не удалось записать
вывод (существующий файл экспорта оставлен как был), 5 процесс ещё выполняется на сервере
после --job-timeout, 130 прервано по Ctrl+C.
</translation>
    </message>
    <message>
        <source>Usage: tulvaa-cli [OPTIONS] %1</source>
        <translation>Использование: tulvaa-cli [ПАРАМЕТРЫ] %1</translation>
    </message>
    <message>
        <source>COMMAND [ARGUMENTS]</source>
        <translation>КОМАНДА [АРГУМЕНТЫ]</translation>
    </message>
    <message>
        <source>Administers a TULVA64 database server from scripts: registers as an administrator&apos;s
workstation, runs one command and unregisters.</source>
        <translation>Управляет сервером баз данных ТУЛВА64 из сценариев: регистрируется на нём как АРМ
администратора, выполняет одну команду и снимает регистрацию.</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Команды:</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>the password is never given on the command line: set TULVA_PASSWORD or type it when asked</source>
        <translation>пароль не задаётся в командной строке: задайте TULVA_PASSWORD или введите его по запросу</translation>
    </message>
    <message>
        <source>--%1 needs a value</source>
        <translation>--%1: нужно значение</translation>
    </message>
    <message>
        <source>--%1 takes no value</source>
        <translation>--%1 не принимает значения</translation>
    </message>
    <message>
        <source>--format is text, tsv or json</source>
        <translation>--format: text, tsv или json</translation>
    </message>
    <message>
        <source>--timeout needs whole seconds from 0 to %1</source>
        <translation>--timeout: нужно целое число секунд от 0 до %1</translation>
    </message>
    <message>
        <source>--job-timeout needs whole seconds from 0 to %1</source>
        <translation>--job-timeout: нужно целое число секунд от 0 до %1</translation>
    </message>
    <message>
        <source>--max-answer needs a whole number of bytes above 0 (decimal or 0x hex)</source>
        <translation>--max-answer: нужно целое число байтов больше 0 (десятичное или шестнадцатеричное с 0x)</translation>
    </message>
    <message>
        <source>unknown option --%1</source>
        <translation>неизвестный параметр --%1</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>не задана команда</translation>
    </message>
    <message>
        <source>accounts needs export or import</source>
        <translation>после accounts нужно export или import</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>неизвестная команда «%1»</translation>
    </message>
    <message>
        <source>usage: tulvaa-cli %1</source>
        <translation>использование: tulvaa-cli %1</translation>
    </message>
    <message>
        <source>%1 changes the server for good: add --yes to confirm</source>
        <translation>%1 необратимо изменяет сервер: добавьте --yes для подтверждения</translation>
    </message>
    <message>
        <source>Sends the version request (command 1) and prints the caption, the version, the
registered clients and the most clients allowed.</source>
        <translation>Посылает запрос версии (команда 1) и выводит заголовок, версию, число зарегистрированных
клиентов и наибольшее допустимое число клиентов.</translation>
    </message>
    <message>
        <source>Finds the process by its number (column &quot;№&quot;) and sends the stop request with its
client id, the command code of its process name and its number. The server itself
cannot be stopped.</source>
        <translation>Находит процесс по номеру (столбец «№») и посылает запрос остановки с идентификатором его
клиента, кодом команды его имени процесса и его номером. Сам сервер остановить нельзя.</translation>
    </message>
    <message>
        <source>Starts the server job TULVA_RELOAD_MASTER, waits until it leaves the process list,
then prints the job&apos;s result log.</source>
        <translation>Запускает на сервере процесс TULVA_RELOAD_MASTER, ждёт, пока он не исчезнет из списка
процессов, и выводит протокол его выполнения.</translation>
    </message>
    <message>
        <source>NAME: 1 to 8 characters, a Latin letter or &quot;_&quot; first, then Latin letters, digits or
&quot;_&quot;; reserved names and names already listed are refused. The database is created
with a search dictionary unless --no-dictionary is given.</source>
        <translation>NAME: от 1 до 8 знаков, первый — латинская буква или «_», далее латинские буквы, цифры
или «_»; зарезервированные имена и имена, которые уже есть в списке, не принимаются. База
данных создаётся со словарём для поиска, если не задан --no-dictionary.</translation>
    </message>
    <message>
        <source>Refuses reserved databases, a locked database and one with locked records.
Destructive: needs --yes.</source>
        <translation>Не удаляет зарезервированные базы данных, заблокированную базу данных и базу данных
с заблокированными записями. Необратимо: нужен --yes.</translation>
    </message>
    <message>
        <source>Writes the client list text (name, password, workstation INI line per account, then
&quot;*****&quot;; Windows-1251, CR LF) readable only by its owner. FILE &quot;-&quot; is standard
output. An existing FILE is replaced only once the whole list is written; a directory
is refused.</source>
        <translation>Записывает текст списка клиентов (для каждой учётной записи имя, пароль и строка ini-файлов
АРМ, в конце «*****»; Windows-1251, CR LF), который может читать только владелец. FILE «-» —
стандартный вывод. Существующий FILE заменяется, только когда записан весь список; каталог
не принимается.</translation>
    </message>
    <message>
        <source>Reads a client list text as written by `accounts export`, prints what would change
(accounts added, removed, changed; passwords are never shown) and writes it to the
server only with --yes. A file of any other shape (lines missing, another encoding, a
byte order mark, zero bytes) is refused with its first bad line before the server is
asked.</source>
        <translation>Читает текст списка клиентов в том виде, в каком его записывает `accounts export`, выводит,
что изменится (добавленные, удалённые и изменённые учётные записи; пароли не выводятся
никогда), и записывает его на сервер только с --yes. Файл любого другого вида (недостающие
строки, другая кодировка, метка порядка байтов, нулевые байты) отвергается с номером первой
неверной строки, прежде чем что-либо будет послано серверу.</translation>
    </message>
    <message>
        <source>Prints the servers saved in the workstation&apos;s login dialog (name, address, SSH tunnel)
from the user&apos;s configuration folder; reaches no server.</source>
        <translation>Выводит серверы, сохранённые в окне входа АРМ (имя, адрес, SSH-туннель), из папки настроек
пользователя; к серверу не обращается.</translation>
    </message>
    <message>
        <source>Reads the version, the registered clients, the processes and the statistics of every
listed database (or of DB...) and prints them in the Prometheus text exposition
format, for the node exporter&apos;s textfile collector. --output FILE replaces FILE
atomically (a temporary file in its folder, renamed over it); a run that fails still
writes it, with tulva_exchange_success 0. Metrics: tulva_exchange_success,
tulva_exchange_duration_seconds, tulva_server_info (labels version and caption),
tulva_server_max_clients, tulva_registered_clients (this run&apos;s own registration left
out), tulva_requests_total, tulva_processes_running (label name: every process name
the workstation knows, and any other running one); per database (label database):
tulva_database_max_mfn, tulva_database_locked, tulva_database_locked_records,
tulva_database_logically_deleted_records, tulva_database_physically_deleted_records
and tulva_database_unactualized_records.</source>
        <translation>Читает версию, зарегистрированных клиентов, процессы и статистику каждой базы данных из списка
(или баз DB...) и выводит их в текстовом формате Prometheus для сборщика textfile collector
программы node exporter. --output FILE атомарно заменяет FILE (временный файл в той же папке
переименовывается поверх него); неудачный запуск тоже записывает файл, с tulva_exchange_success 0.
Метрики: tulva_exchange_success, tulva_exchange_duration_seconds, tulva_server_info (метки
version и caption), tulva_server_max_clients, tulva_registered_clients (без регистрации самого
этого запуска), tulva_requests_total, tulva_processes_running (метка name: каждое имя процесса,
известное АРМ, и любое другое выполняющееся); для каждой базы данных (метка database):
tulva_database_max_mfn, tulva_database_locked, tulva_database_locked_records,
tulva_database_logically_deleted_records, tulva_database_physically_deleted_records и
tulva_database_unactualized_records.</translation>
    </message>
    <message>
        <source>FIGURE: locked|unactualized|processes|response-time
A plugin for Nagios-style monitoring systems: prints one status line with performance
data after &quot;|&quot; and exits 0 OK, 1 WARNING, 2 CRITICAL or 3 UNKNOWN. locked and
unactualized are the numbers of locked and of unactualized records of each listed
database (or of DB...); processes is the number of running server processes;
response-time is the seconds from the registration to the answer of the version
request (every check reports that time as &quot;time&quot;). --warning and --critical take a
range [@]START:END: the figure alerts outside START..END, or inside it with &quot;@&quot;;
START 0 and its colon may be left out, &quot;~&quot; is minus infinity, a missing END has no
limit. So 10 alerts below 0 or above 10, 10: below 10, ~:10 above 10, 10:20 outside
10..20, @10:20 inside it. Critical is tested first. An unreachable server is CRITICAL;
wrong usage, or a refusal by the server, is UNKNOWN.</source>
        <translation>FIGURE: locked|unactualized|processes|response-time
Плагин для систем мониторинга, совместимых с Nagios: выводит одну строку состояния с данными
производительности после «|» и завершается с кодом 0 OK, 1 WARNING, 2 CRITICAL или 3 UNKNOWN.
locked и unactualized — числа заблокированных и неактуализированных записей каждой базы
данных из списка (или баз DB...); processes — число выполняющихся процессов сервера;
response-time — секунды от регистрации до ответа на запрос версии (это время каждая проверка
сообщает как «time»). --warning и --critical принимают диапазон [@]START:END: тревога, когда
показатель вне START..END, а с «@» — когда внутри; START 0 с двоеточием можно опустить,
«~» — минус бесконечность, без END предела нет. Так, 10 — тревога ниже 0 или выше 10,
10: — ниже 10, ~:10 — выше 10, 10:20 — вне 10..20, @10:20 — внутри. Сначала проверяется
critical. Недоступный сервер — CRITICAL; неверный вызов или отказ сервера — UNKNOWN.</translation>
    </message>
</context>
<context>
    <name>CliMain</name>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>не удалось записать в стандартный вывод: %1</translation>
    </message>
    <message>
        <source>Try tulvaa-cli --help.</source>
        <translation>Справка: tulvaa-cli --help.</translation>
    </message>
    <message>
        <source>this Qt cannot convert Windows-1251 text</source>
        <translation>эта сборка Qt не умеет преобразовывать текст в кодировке Windows-1251</translation>
    </message>
</context>
<context>
    <name>CliMonitor</name>
    <message>
        <source>answer in %1 s: %2, version %3</source>
        <translation>ответ за %1 с: %2, версия %3</translation>
    </message>
    <message>
        <source>answer in %1 s</source>
        <translation>ответ за %1 с</translation>
    </message>
    <message>
        <source>%1 running processes</source>
        <translation>выполняется процессов: %1</translation>
    </message>
    <message>
        <source>%1 running processes: %2</source>
        <translation>выполняется процессов: %1 (%2)</translation>
    </message>
    <message>
        <source>(critical)</source>
        <translation>(критично)</translation>
    </message>
    <message>
        <source>(warning)</source>
        <translation>(предупреждение)</translation>
    </message>
    <message>
        <source>no database</source>
        <translation>нет баз данных</translation>
    </message>
    <message>
        <source>locked records: %1</source>
        <translation>заблокированные записи: %1</translation>
    </message>
    <message>
        <source>unactualized records: %1</source>
        <translation>неактуализированные записи: %1</translation>
    </message>
    <message>
        <source>--output is an option of metrics</source>
        <translation>--output — параметр команды metrics</translation>
    </message>
    <message>
        <source>--warning and --critical are options of check</source>
        <translation>--warning и --critical — параметры команды check</translation>
    </message>
    <message>
        <source>%1 prints a format of its own: --format does not apply</source>
        <translation>%1 выводит данные в своём формате: --format к ней не применяется</translation>
    </message>
    <message>
        <source>FIGURE is locked, unactualized, processes or response-time, not &quot;%1&quot;</source>
        <translation>FIGURE — это locked, unactualized, processes или response-time, а не «%1»</translation>
    </message>
    <message>
        <source>check %1 takes no database</source>
        <translation>check %1 не принимает имён баз данных</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удалось записать %1: %2</translation>
    </message>
</context>
<context>
    <name>CliOutput</name>
    <message>
        <source>write error</source>
        <translation>ошибка записи</translation>
    </message>
</context>
<context>
    <name>CliRunner</name>
    <message>
        <source>the database name &quot;%1&quot; is empty or holds a line break or another control character</source>
        <translation>имя базы данных «%1» пусто или содержит перевод строки или другой управляющий знак</translation>
    </message>
    <message>
        <source>the server refused its list of registered clients</source>
        <translation>сервер отказался выдать список зарегистрированных клиентов</translation>
    </message>
    <message>
        <source>the server&apos;s list of registered clients is damaged</source>
        <translation>список зарегистрированных клиентов, полученный от сервера, повреждён</translation>
    </message>
    <message>
        <source>(return code %1)</source>
        <translation>(код возврата %1)</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>не удалось записать в стандартный вывод: %1</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>прервано</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not an MFN (a whole number from 1)</source>
        <translation>«%1» — не MFN (нужно целое число от 1)</translation>
    </message>
    <message>
        <source>%1 is a directory: give the name of the file to write the accounts to</source>
        <translation>%1 — каталог: укажите имя файла, в который записать учётные записи</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 — не обычный файл</translation>
    </message>
    <message>
        <source>cannot write %1: there is no directory %2</source>
        <translation>не удалось записать %1: нет каталога %2</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>не удалось прочитать %1</translation>
    </message>
    <message>
        <source>%1, line %2: %3</source>
        <translation>%1, строка %2: %3</translation>
    </message>
    <message>
        <source>cannot read the settings file %1</source>
        <translation>не удалось прочитать файл настроек %1</translation>
    </message>
    <message>
        <source>cannot read the settings file %1: no such file</source>
        <translation>не удалось прочитать файл настроек %1: файл не найден</translation>
    </message>
    <message>
        <source>ServerPort=%1 in %2 is no port number: give a whole number from 1 to 65535 (or --server HOST:PORT)</source>
        <translation>ServerPort=%1 в %2 — не номер порта: укажите целое число от 1 до 65535 (или --server HOST:PORT)</translation>
    </message>
    <message>
        <source>the port &quot;%1&quot; of --server %2 is no port number from 1 to 65535</source>
        <translation>порт «%1» в --server %2 — не номер порта от 1 до 65535</translation>
    </message>
    <message>
        <source>no user name: give --user NAME or USERNAME in the settings file</source>
        <translation>не задано имя пользователя: укажите --user NAME или USERNAME в файле настроек</translation>
    </message>
    <message>
        <source>no password: set TULVA_PASSWORD or run on a terminal to be asked</source>
        <translation>нет пароля: задайте TULVA_PASSWORD или запустите программу в терминале, чтобы ввести его</translation>
    </message>
    <message>
        <source>Password for %1 at %2: </source>
        <translation>Пароль пользователя %1 на сервере %2: </translation>
    </message>
    <message>
        <source>no password given</source>
        <translation>пароль не введён</translation>
    </message>
    <message>
        <source>(%1: no answer within %2 s)</source>
        <translation>(%1: нет ответа за %2 с)</translation>
    </message>
    <message>
        <source>The SSH tunnel through %1 did not open: %2</source>
        <translation>SSH-туннель через %1 не открылся: %2</translation>
    </message>
    <message>
        <source>the profile of %1 does not allow this command (%2=%3)</source>
        <translation>профиль %1 не разрешает эту команду (%2=%3)</translation>
    </message>
    <message>
        <source>(no answer within %1 s)</source>
        <translation>(нет ответа за %1 с)</translation>
    </message>
    <message>
        <source>(empty answer)</source>
        <translation>(пустой ответ)</translation>
    </message>
    <message>
        <source>the server&apos;s database list has no database %1</source>
        <translation>в списке баз данных сервера нет базы данных %1</translation>
    </message>
    <message>
        <source>the server refused its process list</source>
        <translation>сервер отказался выдать список процессов</translation>
    </message>
    <message>
        <source>(the command itself was carried out)</source>
        <translation>(сама команда выполнена)</translation>
    </message>
    <message>
        <source>process %1 is the server itself and cannot be stopped</source>
        <translation>процесс %1 — это сам сервер, его остановить нельзя</translation>
    </message>
    <message>
        <source>the server lists no process %1</source>
        <translation>в списке процессов сервера нет процесса %1</translation>
    </message>
    <message>
        <source>the server did not stop process %1</source>
        <translation>сервер не остановил процесс %1</translation>
    </message>
    <message>
        <source>Process %1 (%2) stopped.</source>
        <translation>Процесс %1 (%2) остановлен.</translation>
    </message>
    <message>
        <source>%1 is this program&apos;s own registration</source>
        <translation>%1 — регистрация самой этой программы</translation>
    </message>
    <message>
        <source>the server did not remove the registration of client %1</source>
        <translation>сервер не снял регистрацию клиента %1</translation>
    </message>
    <message>
        <source>Registration of client %1 removed.</source>
        <translation>Регистрация клиента %1 снята.</translation>
    </message>
    <message>
        <source>the server did not clear database %1</source>
        <translation>сервер не очистил базу данных %1</translation>
    </message>
    <message>
        <source>the server did not actualize database %1</source>
        <translation>сервер не актуализировал базу данных %1</translation>
    </message>
    <message>
        <source>Database %1 actualized.</source>
        <translation>База данных %1 актуализирована.</translation>
    </message>
    <message>
        <source>the server did not unlock the records</source>
        <translation>сервер не разблокировал записи</translation>
    </message>
    <message>
        <source>Records unlocked.</source>
        <translation>Записи разблокированы.</translation>
    </message>
    <message>
        <source>the job %1 on database %2 still runs after %3 s (--job-timeout); it is left running on the server</source>
        <translation>процесс %1 базы данных %2 всё ещё выполняется через %3 с (--job-timeout); он оставлен работать на сервере</translation>
    </message>
    <message>
        <source>the job %1 was stopped</source>
        <translation>процесс %1 остановлен</translation>
    </message>
    <message>
        <source>the job %1 could not be stopped</source>
        <translation>процесс %1 остановить не удалось</translation>
    </message>
    <message>
        <source>the job %1 cannot be stopped from here; it goes on on the server</source>
        <translation>процесс %1 отсюда остановить нельзя; он продолжает работать на сервере</translation>
    </message>
    <message>
        <source>database %1 is still in the server&apos;s database list</source>
        <translation>база данных %1 всё ещё есть в списке баз данных сервера</translation>
    </message>
    <message>
        <source>the server refused its client list</source>
        <translation>сервер отказался выдать список клиентов</translation>
    </message>
    <message>
        <source>the server&apos;s client list is incomplete: %1</source>
        <translation>список клиентов, полученный от сервера, неполон: %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2 (nothing was written; an existing file is left as it was)</source>
        <translation>не удалось записать %1: %2 (ничего не записано; существующий файл оставлен как был)</translation>
    </message>
    <message>
        <source>%1 accounts written to %2.</source>
        <translation>В %2 записано учётных записей: %1.</translation>
    </message>
    <message>
        <source>warning: accounts import will refuse this list until the account is edited in the workstation: line %1: %2</source>
        <translation>предупреждение: accounts import не примет этот список, пока учётную запись не исправят в АРМ: строка %1: %2</translation>
    </message>
    <message>
        <source>The server&apos;s accounts already match %1; nothing to write.</source>
        <translation>Учётные записи на сервере уже совпадают с %1; записывать нечего.</translation>
    </message>
    <message>
        <source>nothing written: add --yes to replace the server&apos;s accounts with %1</source>
        <translation>ничего не записано: добавьте --yes, чтобы заменить учётные записи на сервере содержимым %1</translation>
    </message>
    <message>
        <source>the server did not save the client list</source>
        <translation>сервер не сохранил список клиентов</translation>
    </message>
    <message>
        <source>the server did not restart</source>
        <translation>сервер не перезапустился</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>Имя</translation>
    </message>
</context>
<context>
    <name>CliServers</name>
    <message>
        <source>no saved server is named &quot;%1&quot; (tulvaa-cli servers lists them); it was taken as a host name</source>
        <translation>сохранённого сервера с именем «%1» нет (их список выводит tulvaa-cli servers); имя принято за адрес узла</translation>
    </message>
    <message>
        <source>--server needs the name of a saved server (tulvaa-cli servers), HOST or HOST:PORT, got &quot;%1&quot;</source>
        <translation>--server: нужно имя сохранённого сервера (tulvaa-cli servers), HOST или HOST:PORT, а задано «%1»</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>HOST</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>PORT</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>SSH</source>
        <translation>SSH</translation>
    </message>
    <message>
        <source>SSH PORT</source>
        <translation>Порт SSH</translation>
    </message>
    <message>
        <source>KEY FILE</source>
        <translation>Файл ключа</translation>
    </message>
    <message>
        <source>LAST</source>
        <translation>Последний</translation>
    </message>
</context>
<context>
    <name>CliTables</name>
    <message>
        <source>name %1 -&gt; %2</source>
        <translation>имя %1 -&gt; %2</translation>
    </message>
    <message>
        <source>password</source>
        <translation>пароль</translation>
    </message>
</context>
<context>
    <name>PluginOutput</name>
    <message>
        <source>&quot;%1&quot; is no threshold range (%2; examples: 10, 10:, ~:10, 10:20, @10:20)</source>
        <translation>«%1» — не диапазон порогов (%2; примеры: 10, 10:, ~:10, 10:20, @10:20)</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>он пуст</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a number</source>
        <translation>«%1» — не число</translation>
    </message>
    <message>
        <source>the end is missing</source>
        <translation>нет конца диапазона</translation>
    </message>
    <message>
        <source>the start is above the end</source>
        <translation>начало больше конца</translation>
    </message>
</context>
</TS>
