-- The twelve procedures the desktop program calls by name, and their helpers. Parameter names are the
-- program's own spellings; the program matches them without regard to case. A procedure whose
-- parameters change must be dropped here first (CREATE OR REPLACE cannot change them).

-- Names go back to the program inside plain-text records: the reply separators are taken out however
-- they were typed, so a name can never shift a record's fields.
CREATE OR REPLACE FUNCTION zp_clean_text(t text) RETURNS text
LANGUAGE plpgsql IMMUTABLE SET search_path = public, pg_temp AS $$
DECLARE
    cleaned text := coalesce(t, '');
    previous text;
BEGIN
    LOOP
        previous := cleaned;
        cleaned := replace(replace(replace(cleaned, '%!', ''), '@~', ''), '@!', '');
        EXIT WHEN cleaned = previous;
    END LOOP;
    RETURN cleaned;
END $$;

-- The name a new or renamed member is kept under, and its number: the sent name itself (number 0) while
-- no other member bears it, else the sent name with the next number after the highest one it was given,
-- "(2)" at the least (a bracketed number would be cut off again by the program), its last 49
-- characters. Uploads of one name wait for each other here until the first commits, so that two never
-- choose one number; the caller tries again should a name of another spelling take it in between.
DROP FUNCTION IF EXISTS zp_member_name(text, integer);
CREATE OR REPLACE FUNCTION zp_free_name(sent text, self_id integer, OUT chosen text, OUT chosen_no integer)
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp SET enable_seqscan = off AS $$
DECLARE
    self integer := coalesce(self_id, 0);
BEGIN
    IF coalesce(sent, '') = '' THEN
        RAISE EXCEPTION '成员名为空白，不能保存。' USING ERRCODE = '22023';
    END IF;
    PERFORM pg_advisory_xact_lock(hashtext('zp_free_name'), hashtext(sent));
    IF NOT EXISTS (SELECT 1 FROM members WHERE filial = sent AND filial_id <> self) THEN
        chosen := sent;
        chosen_no := 0;
        RETURN;
    END IF;
    SELECT greatest(coalesce(max(name_no), 0), 1) + 1 INTO chosen_no
      FROM members WHERE sent_name = sent AND filial_id <> self;
    LOOP
        chosen := right(sent || '(' || chosen_no || ')', 49);
        EXIT WHEN NOT EXISTS (SELECT 1 FROM members WHERE filial = chosen AND filial_id <> self);
        chosen_no := chosen_no + 1;
    END LOOP;
END $$;

-- Whether viewer may see what creator uploaded: his own, an open account's, or one of his association's
-- when the creator opened his data to it. PL/pgSQL, whose plan is kept: it is asked for every member a
-- reading returns, and a SQL function with its own search path is planned anew at every call.
CREATE OR REPLACE FUNCTION zp_visible(creator integer, viewer integer) RETURNS boolean
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
BEGIN
    IF creator = viewer THEN
        RETURN true;
    END IF;
    RETURN EXISTS (
        SELECT 1 FROM accounts c LEFT JOIN accounts v ON v.acc_id = viewer
         WHERE c.acc_id = creator
           AND (c.open_level = 1
                OR (c.open_level = 2 AND c.group_id > 0 AND c.group_state = 0
                    AND v.group_id = c.group_id AND v.group_state = 0)));
END $$;

-- Whether target lies on the father line that starts at start_id (start_id itself included).
CREATE OR REPLACE FUNCTION zp_in_line(start_id integer, target integer) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    WITH RECURSIVE up(id) AS (
        SELECT start_id
        UNION
        SELECT m.father_id FROM members m JOIN up ON m.filial_id = up.id WHERE m.father_id IS NOT NULL)
    SELECT EXISTS (SELECT 1 FROM up WHERE id = target)
$$;

-- The members of other accounts whose names the server gave an account (sp_Getzpdata2). Only such a
-- name, or one of the account's own members, names a father as the server keeps him: a name a book gave
-- a father not on the server yet must not find a stranger who happens to bear it.
CREATE TABLE IF NOT EXISTS members_given (
    acc_id    integer NOT NULL REFERENCES accounts ON DELETE CASCADE,
    filial_id integer NOT NULL REFERENCES members ON DELETE CASCADE,
    PRIMARY KEY (acc_id, filial_id)
);
CREATE INDEX IF NOT EXISTS members_given_member ON members_given (filial_id);

-- The member a father's name stands for. A name the server keeps a member under is that member, taken
-- exactly as it is, when he is the account's own or one the server gave it by that name (and it may
-- still see him): the program names every father the server holds so. Any other name is one a book gave
-- a father not on the server yet, and stands for the account's one member sent under it; two such
-- members, or none, leave the father unknown rather than guessed. Never a member that would close a
-- loop. Look-ups like this one never read the whole table: the plan a connection keeps may have been
-- made while the table was small.
CREATE OR REPLACE FUNCTION zp_resolve_father(father_name text, acc integer, self_id integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp SET enable_seqscan = off AS $$
DECLARE
    found_id integer;
    sent_as integer;
BEGIN
    IF coalesce(father_name, '') = '' THEN
        RETURN NULL;
    END IF;
    SELECT m.filial_id INTO found_id FROM members m
     WHERE m.filial = father_name AND m.filial_id <> coalesce(self_id, 0)
       AND (m.myacc_id = acc
            OR (zp_visible(m.myacc_id, acc)
                AND EXISTS (SELECT 1 FROM members_given g WHERE g.acc_id = acc AND g.filial_id = m.filial_id)));
    IF found_id IS NULL THEN
        SELECT min(filial_id), count(*) INTO found_id, sent_as FROM members
         WHERE myacc_id = acc AND sent_name = father_name AND filial_id <> coalesce(self_id, 0);
        IF sent_as <> 1 THEN
            found_id := NULL;
        END IF;
    END IF;
    IF found_id IS NOT NULL AND self_id IS NOT NULL AND zp_in_line(found_id, self_id) THEN
        RETURN NULL;
    END IF;
    RETURN found_id;
END $$;

-- Whether acc may change (or delete) what creator uploaded: what it cannot see, never; what another
-- account protected (1 or 2), neither.
DROP FUNCTION IF EXISTS zp_may_change(integer, integer);
CREATE OR REPLACE FUNCTION zp_may_change(creator integer, protection integer, acc integer) RETURNS boolean
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
BEGIN
    RETURN creator = acc OR (protection NOT IN (1, 2) AND zp_visible(creator, acc));
END $$;

-- A log-on, or a registration (logon_type 1), as the log-on form and the log-on page make it: the state
-- (0 busy, 1 logged on, 2 refused, 3 registered and logged on) and, on success, the account.
CREATE OR REPLACE FUNCTION zp_try_logon(account_no text, pswd_digest text, pswd2_digest text, nick text,
                                        wanted_level integer, logon_type integer)
RETURNS TABLE (state integer, acc_id integer, nickname text, group_id integer, open_level integer)
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    account accounts%ROWTYPE;
BEGIN
    account_no := coalesce(account_no, '');
    pswd_digest := coalesce(pswd_digest, '');
    -- What refuses a registration is asked before the number is looked up: the refusal is then the same
    -- whether the number has an account or not.
    IF logon_type = 1 AND account_no <> '' THEN
        nick := btrim(zp_clean_text(nick));
        IF char_length(account_no) > zp_limit('account_no_chars') THEN
            RAISE EXCEPTION '“帐号”超过 % 个字，服务器不予注册。', zp_limit('account_no_chars') USING ERRCODE = '54000';
        END IF;
        IF char_length(nick) > zp_limit('nickname_chars') THEN
            RAISE EXCEPTION '“昵称”超过 % 个字，服务器不予注册。', zp_limit('nickname_chars') USING ERRCODE = '54000';
        END IF;
        PERFORM zp_check_registration_address();
    END IF;
    SELECT * INTO account FROM accounts a WHERE a.user_no = account_no;
    IF FOUND THEN
        -- Registering an existing account logs on with the right password, as logging on does.
        IF zp_password_checked(account.acc_id, pswd_digest) THEN
            state := 1;
        ELSE
            state := 2;
        END IF;
    ELSIF logon_type = 1 AND account_no <> '' THEN
        BEGIN
            INSERT INTO accounts (user_no, pswd_hash, pswd2_hash, nickname, open_level)
            VALUES (account_no, zp_password_hash(pswd_digest), zp_password_hash(pswd2_digest), nick,
                    CASE WHEN wanted_level BETWEEN 0 AND 2 THEN wanted_level ELSE 0 END)
            RETURNING * INTO account;
            PERFORM zp_note_registration();
            state := 3;
        EXCEPTION WHEN unique_violation THEN
            -- Another registration of the same number won the race: busy, try again.
            state := 0;
        END;
    ELSE
        -- A number without an account is answered, counted and delayed as a wrong password is, at the
        -- same cost: nothing tells whether it has one.
        PERFORM zp_unknown_number_checked(account_no, pswd_digest);
        state := 2;
    END IF;
    IF state IN (1, 3) THEN
        acc_id := account.acc_id;
        nickname := account.nickname;
        group_id := CASE WHEN account.group_state = 0 THEN account.group_id ELSE 0 END;
        open_level := account.open_level;
    ELSE
        acc_id := 0;
        group_id := 0;
    END IF;
    RETURN NEXT;
END $$;

CREATE OR REPLACE PROCEDURE "sp_trylogon"(
    IN "@z_user_no" text, IN "@z_pswd" text, IN "@z_pswd2" text,
    INOUT "@z_right" integer, INOUT "@z_acc_id" integer, INOUT "@z_nick" text,
    INOUT "@z_state" integer, INOUT "@z_group_id" integer, IN "@z_logon_type" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    result record;
BEGIN
    SELECT * INTO result
      FROM zp_try_logon("@z_user_no", "@z_pswd", "@z_pswd2", "@z_nick", "@z_right", "@z_logon_type");
    "@z_state" := result.state;
    -- The call acts for the account whose password it proved, and for nobody after a failure.
    PERFORM zp_bind_account(result.acc_id);
    "@z_acc_id" := result.acc_id;
    "@z_group_id" := result.group_id;
    IF result.state IN (1, 3) THEN
        "@z_right" := result.open_level;
        "@z_nick" := result.nickname;
    END IF;
END $$;

CREATE OR REPLACE PROCEDURE "sp_savezpdata2"(
    IN "@z_accid" integer, INOUT "@z_filial_id" integer, IN "@z_father" text, IN "@z_mother" text,
    INOUT "@z_filial" text, IN "@z_Boy_Sex" boolean, IN "@z_boy_birthday" text, IN "@z_boy_active" boolean,
    IN "@z_boy_death" text, IN "@z_mother_birthday" text, IN "@z_mother_death" text,
    IN "@z_Mother_active" boolean, IN "@z_mother_folk" text, IN "@z_m_education" text,
    IN "@z_m_position" text, IN "@z_boy_folk" text, IN "@z_boy_education" text, IN "@z_boy_position" text,
    IN "@z_c_jc_w_z_h" text, IN "@z_boy_sort" integer, IN "@z_boy_right" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_acting_account("@z_accid");
    sent text := right(split_part(zp_clean_text("@z_filial"), '[', 1), 49);
    father_name text := zp_clean_text("@z_father");
    existing members%ROWTYPE;
    kept_name text;
    kept_no integer;
    saved_id integer;
    tries integer := 0;
BEGIN
    IF coalesce("@z_filial_id", 0) > 0 THEN
        SELECT * INTO existing FROM members WHERE filial_id = "@z_filial_id" FOR UPDATE;
        -- A member the account may not see is not on the server as far as it knows: it saves its own.
        IF existing.filial_id IS NOT NULL AND NOT zp_visible(existing.myacc_id, acc) THEN
            existing := NULL;
        END IF;
    END IF;

    IF existing.filial_id IS NOT NULL AND NOT zp_may_change(existing.myacc_id, existing.boy_right, acc) THEN
        "@z_filial" := existing.filial;  -- protected by its creator: nothing changes
        RETURN;
    END IF;

    -- Nothing longer than the member form lets a user type, and no member past the account's total.
    PERFORM zp_check_fields(
        sent,
        ARRAY['父亲', '母亲', '母亲民族', '母亲文化', '母亲技或位', '母亲生于居于', '母亲卒于葬于', '子女民族',
              '子女文化', '子女技或位', '子女生于居于', '子女卒于葬于', '称讳字谥号'],
        ARRAY[father_name, "@z_mother", "@z_mother_folk", "@z_m_education", "@z_m_position",
              "@z_mother_birthday", "@z_mother_death", "@z_boy_folk", "@z_boy_education", "@z_boy_position",
              "@z_boy_birthday", "@z_boy_death", "@z_c_jc_w_z_h"],
        -- the names field: 称, 加称 (a digit), 讳, 字, 号 and 谥 with the five "%" between them
        ARRAY[49, 50, 8, 12, 50, 64, 64, 8, 12, 50, 64, 64, 176]);
    IF existing.filial_id IS NULL
       AND (SELECT members FROM account_usage WHERE acc_id = acc FOR UPDATE) >= zp_limit('account_members') THEN
        RAISE EXCEPTION '帐号在服务器上的成员已达 % 个的上限，成员“%”未上传。', zp_limit('account_members'), sent
            USING ERRCODE = '54000';
    END IF;

    LOOP
        BEGIN
            IF existing.filial_id IS NULL THEN
                SELECT chosen, chosen_no INTO kept_name, kept_no FROM zp_free_name(sent, NULL);
            ELSIF sent = existing.sent_name THEN
                kept_name := existing.filial;
                kept_no := existing.name_no;
            ELSE
                SELECT chosen, chosen_no INTO kept_name, kept_no FROM zp_free_name(sent, existing.filial_id);
            END IF;
            IF existing.filial_id IS NOT NULL THEN
                UPDATE members SET
                    filial = kept_name,
                    name_no = kept_no,
                    sent_name = sent,
                    father = father_name,
                    father_id = zp_resolve_father(father_name, acc, existing.filial_id),
                    mother = coalesce("@z_mother", ''),
                    boy_sex = coalesce("@z_Boy_Sex", true),
                    boy_birthday = coalesce("@z_boy_birthday", ''),
                    boy_active = coalesce("@z_boy_active", true),
                    boy_death = coalesce("@z_boy_death", ''),
                    mother_birthday = coalesce("@z_mother_birthday", ''),
                    mother_death = coalesce("@z_mother_death", ''),
                    mother_active = coalesce("@z_Mother_active", true),
                    mother_folk = coalesce("@z_mother_folk", ''),
                    m_education = coalesce("@z_m_education", ''),
                    m_position = coalesce("@z_m_position", ''),
                    boy_folk = coalesce("@z_boy_folk", ''),
                    boy_education = coalesce("@z_boy_education", ''),
                    boy_position = coalesce("@z_boy_position", ''),
                    c_jc_w_z_h = coalesce("@z_c_jc_w_z_h", ''),
                    boy_sort = coalesce("@z_boy_sort", 0),
                    -- Only the creator changes the protection.
                    boy_right = CASE WHEN existing.myacc_id = acc THEN coalesce("@z_boy_right", 0)
                                     ELSE existing.boy_right END,
                    updated = now()
                WHERE filial_id = existing.filial_id
                RETURNING filial_id, filial INTO saved_id, "@z_filial";
            ELSE
                -- Id 0, or an id the server does not have: a new member created by this account.
                INSERT INTO members (filial, name_no, sent_name, father, father_id, myacc_id, mother, boy_sex,
                                     boy_birthday, boy_active, boy_death, mother_birthday, mother_death,
                                     mother_active, mother_folk, m_education, m_position, boy_folk,
                                     boy_education, boy_position, c_jc_w_z_h, boy_sort, boy_right)
                VALUES (kept_name, kept_no, sent, father_name, zp_resolve_father(father_name, acc, NULL), acc,
                        coalesce("@z_mother", ''), coalesce("@z_Boy_Sex", true),
                        coalesce("@z_boy_birthday", ''), coalesce("@z_boy_active", true),
                        coalesce("@z_boy_death", ''), coalesce("@z_mother_birthday", ''),
                        coalesce("@z_mother_death", ''), coalesce("@z_Mother_active", true),
                        coalesce("@z_mother_folk", ''), coalesce("@z_m_education", ''),
                        coalesce("@z_m_position", ''), coalesce("@z_boy_folk", ''),
                        coalesce("@z_boy_education", ''), coalesce("@z_boy_position", ''),
                        coalesce("@z_c_jc_w_z_h", ''), coalesce("@z_boy_sort", 0), coalesce("@z_boy_right", 0))
                RETURNING filial_id, filial INTO saved_id, "@z_filial";
            END IF;
            EXIT;
        EXCEPTION WHEN unique_violation THEN
            -- A name of another spelling took the chosen one in the moment between: choose again.
            tries := tries + 1;
            IF tries >= 5 THEN
                RAISE;
            END IF;
        END;
    END LOOP;

    -- Children of this account sent before their father now find him, by the name he is kept under or,
    -- while he is the account's only member sent under it, by the name his book gave him.
    UPDATE members c SET father_id = saved_id
     WHERE c.father_id IS NULL AND c.myacc_id = acc
       AND (c.father = "@z_filial"
            OR (c.father = sent AND NOT EXISTS (SELECT 1 FROM members o WHERE o.myacc_id = acc
                                                   AND o.sent_name = sent AND o.filial_id <> saved_id)))
       AND c.filial_id <> saved_id AND NOT zp_in_line(saved_id, c.filial_id);
    "@z_filial_id" := saved_id;
    PERFORM zp_note_stored();
END $$;

-- The member a page text or picture is saved for: its id, or NULL when the call's account may not
-- change it.
CREATE OR REPLACE FUNCTION zp_member_to_change(server_name text) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_proven_account();
    target members%ROWTYPE;
BEGIN
    SELECT * INTO target FROM members WHERE filial = server_name;
    IF NOT FOUND OR NOT zp_visible(target.myacc_id, acc) THEN
        RAISE EXCEPTION '服务器上没有成员“%”。', server_name USING ERRCODE = '22023';
    END IF;
    RETURN CASE WHEN zp_may_change(target.myacc_id, target.boy_right, acc) THEN target.filial_id END;
END $$;

-- The bytes of an item being replaced that count against the writer now: those it wrote itself (another
-- account's go back to that account).
CREATE OR REPLACE FUNCTION zp_own_bytes(was_writer integer, writer integer, was_bytes bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN was_writer = writer THEN coalesce(was_bytes, 0) ELSE 0 END
$$;

-- Each member's page text stays within what the program uploads for one member, and the account that
-- writes it within its total (its bytes are that account's, whoever created the member); a refusal keeps
-- the page the server had.
CREATE OR REPLACE PROCEDURE "sp_savestory"(IN "@z_filial" text, IN "@z_descript" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    target_id integer := zp_member_to_change("@z_filial");
    writer integer := zp_proven_account();
    page text := coalesce("@z_descript", '');
    was member_stories%ROWTYPE;
BEGIN
    IF target_id IS NULL THEN
        RETURN;
    END IF;
    IF char_length(page) > zp_limit('page_chars') THEN
        RAISE EXCEPTION '成员“%”的页面超过 % 个字，服务器不予保存。', "@z_filial", zp_limit('page_chars')
            USING ERRCODE = '54000';
    END IF;
    PERFORM 1 FROM members WHERE filial_id = target_id FOR UPDATE;
    SELECT * INTO was FROM member_stories WHERE filial_id = target_id;
    PERFORM zp_check_account_bytes(writer, octet_length(page) - zp_own_bytes(was.writer_id, writer,
                                                                              octet_length(was.hisdescript)),
                                   "@z_filial", '页面');
    INSERT INTO member_stories (filial_id, hisdescript, writer_id) VALUES (target_id, page, writer)
    ON CONFLICT (filial_id) DO UPDATE SET hisdescript = EXCLUDED.hisdescript, writer_id = EXCLUDED.writer_id;
END $$;

-- One picture or media item per call; an item with the same path replaces the earlier one. Items of
-- 12M or more the program never uploads; a refusal keeps what the server had.
CREATE OR REPLACE PROCEDURE "sp_saveimage"(IN "@z_filial" text, IN "@z_myimage" bytea, IN "@z_imgpath" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    target_id integer := zp_member_to_change("@z_filial");
    writer integer := zp_proven_account();
    picture bytea := coalesce("@z_myimage", ''::bytea);
    path text := coalesce("@z_imgpath", '');
    was bigint;
    was_writer integer;
BEGIN
    IF target_id IS NULL THEN
        RETURN;
    END IF;
    IF octet_length(picture) >= zp_limit('picture_bytes') THEN
        RAISE EXCEPTION '成员“%”的视音频媒体超过12M，服务器不予保存。', "@z_filial" USING ERRCODE = '54000';
    END IF;
    IF char_length(path) > zp_limit('picture_path_chars') THEN
        RAISE EXCEPTION '成员“%”的图片路径超过 % 个字，服务器不予保存。', "@z_filial", zp_limit('picture_path_chars')
            USING ERRCODE = '54000';
    END IF;
    PERFORM 1 FROM members WHERE filial_id = target_id FOR UPDATE;
    SELECT octet_length(myimage), writer_id INTO was, was_writer
      FROM member_images WHERE filial_id = target_id AND imagepath = path;
    IF was IS NULL AND (SELECT count(*) FROM member_images WHERE filial_id = target_id)
                       >= zp_limit('pictures_per_member') THEN
        RAISE EXCEPTION '成员“%”在服务器上已有 % 个图片或媒体，不能再添。', "@z_filial",
            zp_limit('pictures_per_member') USING ERRCODE = '54000';
    END IF;
    PERFORM zp_check_account_bytes(writer, octet_length(picture) - zp_own_bytes(was_writer, writer, was),
                                   "@z_filial", '图片');
    INSERT INTO member_images (filial_id, imagepath, myimage, writer_id) VALUES (target_id, path, picture, writer)
    ON CONFLICT (filial_id, imagepath) DO UPDATE SET myimage = EXCLUDED.myimage, writer_id = EXCLUDED.writer_id;
END $$;

CREATE OR REPLACE PROCEDURE "sp_Getzpdata2"(
    INOUT "@z_filial_id" integer, INOUT "@z_filial" text, INOUT "@z_father" text, INOUT "@z_mother" text,
    INOUT "@z_boy_sex" boolean, INOUT "@z_boy_birthday" text, INOUT "@z_boy_active" boolean,
    INOUT "@z_boy_death" text, INOUT "@z_mother_birthday" text, INOUT "@z_mother_death" text,
    INOUT "@z_mother_active" boolean, INOUT "@z_mother_folk" text, INOUT "@z_m_education" text,
    INOUT "@z_m_position" text, INOUT "@z_boy_folk" text, INOUT "@z_boy_education" text,
    INOUT "@z_boy_position" text, INOUT "@z_C_jc_w_z_h" text, INOUT "@z_boy_sort" integer,
    INOUT "@z_boy_right" integer, INOUT "@z_myacc_id" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    viewer integer := zp_bound_account();
    m members%ROWTYPE;
    father_now text;
BEGIN
    SELECT * INTO m FROM members WHERE filial_id = coalesce("@z_filial_id", 0);
    -- What the call's account may not see is not there for it.
    IF NOT FOUND OR NOT zp_visible(m.myacc_id, viewer) THEN
        -- The server holds no such member: an id below 1, every other value empty.
        "@z_filial_id" := 0;
        m.filial := ''; m.father := ''; m.mother := ''; m.boy_sex := false; m.boy_birthday := '';
        m.boy_active := false; m.boy_death := ''; m.mother_birthday := ''; m.mother_death := '';
        m.mother_active := false; m.mother_folk := ''; m.m_education := ''; m.m_position := '';
        m.boy_folk := ''; m.boy_education := ''; m.boy_position := ''; m.c_jc_w_z_h := '';
        m.boy_sort := 0; m.boy_right := 0; m.myacc_id := 0;
    ELSE
        -- The father as the server links him, when the account may see him; a member it links to
        -- nobody is a tree of its own.
        SELECT f.filial INTO father_now FROM members f
         WHERE f.filial_id = m.father_id AND zp_visible(f.myacc_id, viewer);
        m.father := coalesce(father_now, '');
        IF viewer > 0 AND m.myacc_id <> viewer
           AND NOT EXISTS (SELECT 1 FROM members_given g WHERE g.acc_id = viewer AND g.filial_id = m.filial_id) THEN
            -- A reading otherwise writes nothing: it need not wait for the disk, and a record lost in a
            -- crash only leaves a later child of that name a tree of its own until it is read again.
            PERFORM set_config('synchronous_commit', 'off', true);
            INSERT INTO members_given (acc_id, filial_id) VALUES (viewer, m.filial_id) ON CONFLICT DO NOTHING;
        END IF;
    END IF;
    "@z_filial" := m.filial;
    "@z_father" := m.father;
    "@z_mother" := m.mother;
    "@z_boy_sex" := m.boy_sex;
    "@z_boy_birthday" := m.boy_birthday;
    "@z_boy_active" := m.boy_active;
    "@z_boy_death" := m.boy_death;
    "@z_mother_birthday" := m.mother_birthday;
    "@z_mother_death" := m.mother_death;
    "@z_mother_active" := m.mother_active;
    "@z_mother_folk" := m.mother_folk;
    "@z_m_education" := m.m_education;
    "@z_m_position" := m.m_position;
    "@z_boy_folk" := m.boy_folk;
    "@z_boy_education" := m.boy_education;
    "@z_boy_position" := m.boy_position;
    "@z_C_jc_w_z_h" := m.c_jc_w_z_h;
    "@z_boy_sort" := m.boy_sort;
    "@z_boy_right" := m.boy_right;
    "@z_myacc_id" := m.myacc_id;
END $$;

CREATE OR REPLACE FUNCTION "sp_GetStory"("@z_filial" text) RETURNS TABLE ("Hisdescript" text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.hisdescript FROM member_stories s JOIN members m ON m.filial_id = s.filial_id
     WHERE m.filial = "@z_filial" AND zp_visible(m.myacc_id, zp_bound_account())
$$;

CREATE OR REPLACE FUNCTION "sp_GetImage"("@z_filial" text)
RETURNS TABLE (filial text, myimage bytea, imagepath text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT m.filial, i.myimage, i.imagepath FROM member_images i JOIN members m ON m.filial_id = i.filial_id
     WHERE m.filial = "@z_filial" AND zp_visible(m.myacc_id, zp_bound_account()) ORDER BY i.image_id
$$;

-- The members of the tree under @myboy_id that the account may see, fathers before children; @myacc_id
-- is the call's account, or 0 for what is open to the world. A member hidden from the account
-- hides its branch. The counts are -1 (the program's true) when there is a page text, respectively a
-- picture, else 0.
CREATE OR REPLACE FUNCTION "sp_GnSeekList2"("@myacc_id" integer, "@myboy_id" integer)
RETURNS TABLE (filial_id integer, storynum integer, imagenum integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    WITH RECURSIVE viewer(acc) AS (SELECT zp_reading_account("@myacc_id")),
    tree(id, depth) AS (
        SELECT m.filial_id, 0 FROM members m, viewer
         WHERE m.filial_id = "@myboy_id" AND zp_visible(m.myacc_id, viewer.acc)
        UNION ALL
        SELECT c.filial_id, t.depth + 1 FROM members c JOIN tree t ON c.father_id = t.id, viewer
         WHERE zp_visible(c.myacc_id, viewer.acc)
    ) CYCLE id SET looped USING visited
    SELECT t.id,
           CASE WHEN EXISTS (SELECT 1 FROM member_stories s WHERE s.filial_id = t.id) THEN -1 ELSE 0 END,
           CASE WHEN EXISTS (SELECT 1 FROM member_images i WHERE i.filial_id = t.id) THEN -1 ELSE 0 END
      FROM tree t WHERE NOT t.looped
     ORDER BY t.depth, t.id
$$;

-- Its page text and pictures go with it; its children become trees of their own. Only for an account
-- that may change the member; one it cannot see is not there for it.
CREATE OR REPLACE PROCEDURE "sp_deleteZpdata"(IN "@z_filial_id" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_proven_account();
    target members%ROWTYPE;
BEGIN
    SELECT * INTO target FROM members WHERE filial_id = "@z_filial_id" FOR UPDATE;
    IF NOT FOUND OR NOT zp_visible(target.myacc_id, acc) THEN
        RETURN;
    END IF;
    IF NOT zp_may_change(target.myacc_id, target.boy_right, acc) THEN
        RAISE EXCEPTION '成员“%”受创建者保护，不能在服务器上删除。', target.filial USING ERRCODE = '42501';
    END IF;
    DELETE FROM members WHERE filial_id = target.filial_id;
END $$;

CREATE OR REPLACE FUNCTION "sp_GetGroupList"()
RETURNS TABLE (group_name text, group_sw integer, "Group_id" integer, group_creater text, group_num integer,
               group_script text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT g.group_name, g.group_sw, g.group_id, coalesce(c.nickname, ''),
           (SELECT count(*)::integer FROM accounts a WHERE a.group_id = g.group_id AND a.group_state = 0),
           g.group_script
      FROM clan_groups g LEFT JOIN accounts c ON c.acc_id = g.creator_id
     ORDER BY g.group_id
$$;

-- Members and applicants (group_state 1) of one association; none for an id below 1.
CREATE OR REPLACE FUNCTION "sp_GetMemberList"("@z_curgroup_id" integer)
RETURNS TABLE ("NickName" text, "User_SW" integer, acc_id integer, position_id integer, lastgroup_id integer,
               group_state integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT a.nickname, a.user_sw, a.acc_id, a.position_id, a.lastgroup_id, a.group_state
      FROM accounts a
     WHERE a.group_id = "@z_curgroup_id" AND "@z_curgroup_id" > 0
     ORDER BY a.group_state, a.position_id DESC, a.acc_id
$$;

-- Founds an association led by the account at position maxp, never outside 1 and the count of position
-- titles: the new association's id, or 0 when the account already belongs to one or the name is empty,
-- longer than 50 characters or taken; kept_name comes back as the server keeps the name.
CREATE OR REPLACE FUNCTION zp_create_group(acc integer, maxp integer, INOUT kept_name text, OUT new_group integer)
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    founder accounts%ROWTYPE;
    top integer := (SELECT count(*)::integer FROM positions);
BEGIN
    kept_name := btrim(zp_clean_text(kept_name));
    new_group := 0;
    SELECT * INTO founder FROM accounts WHERE acc_id = acc FOR UPDATE;
    IF NOT FOUND OR kept_name = '' OR char_length(kept_name) > zp_limit('group_name_chars')
       OR (founder.group_id > 0 AND founder.group_state = 0) THEN
        RETURN;
    END IF;
    BEGIN
        INSERT INTO clan_groups (group_name, creator_id) VALUES (kept_name, founder.acc_id)
        RETURNING group_id INTO new_group;
    EXCEPTION WHEN unique_violation THEN
        new_group := 0;
        RETURN;
    END;
    UPDATE accounts SET group_id = new_group, group_state = 0,
           position_id = least(greatest(coalesce(maxp, 1), 1), greatest(top, 1))
     WHERE acc_id = founder.acc_id;
    PERFORM zp_note_stored();
END $$;

-- Founds an association for the call's account (@z_acc_id must name it): see zp_create_group.
-- @z_acc_id comes back as the new association's id or 0.
CREATE OR REPLACE PROCEDURE "sp_CreateGroup"(
    INOUT "@z_acc_id" integer, IN "@z_maxp_id" integer, INOUT "@z_group_name" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    founded record;
BEGIN
    founded := zp_create_group(zp_acting_account("@z_acc_id"), "@z_maxp_id", "@z_group_name");
    "@z_group_name" := founded.kept_name;
    "@z_acc_id" := founded.new_group;
END $$;

GRANT EXECUTE ON ROUTINE "sp_trylogon", "sp_savezpdata2", "sp_savestory", "sp_saveimage", "sp_Getzpdata2",
    "sp_GetStory", "sp_GetImage", "sp_GnSeekList2", "sp_deleteZpdata", "sp_GetGroupList", "sp_GetMemberList",
    "sp_CreateGroup" TO qntzpsvr01;
